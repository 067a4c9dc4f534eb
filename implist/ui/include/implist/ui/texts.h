// The import-list viewer's texts (string table ImportList), each id named
// once. Text(id) is in the user's language.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace zv::implist::ui {

enum TextId : int {
  kTxtWindowTitle = 1,
  kTxtSettingsTitle = 2,
  kTxtColumnTime = 3,
  kTxtColumnName = 4,
  kTxtColumnResult = 5,
  kTxtColumnLocation = 6,
  kTxtResultOk = 7,
  kTxtResultNg = 8,
  kTxtLocationFolder = 9,  // "%s\%s": binder, index
  kTxtWorkDesk = 10,
  kTxtLastUpdate = 11,  // "%s": the time
  kTxtStarting1 = 12,
  kTxtStarting2 = 13,
  kTxtBalloonTitle = 14,
  kTxtBalloonText = 15,
  kTxtMonitorSettingsChanged = 16,
  kTxtShortInterval = 17,
  kTxtSelectSound = 18,
  kTxtSoundFilter = 19,
  kTxtCloseQuestion = 20,
  kTxtClosing1 = 21,
  kTxtClosing2 = 22,
  kTxtFilesUpdating = 23,
  kTxtCollecting = 24,
  kTxtNoLinkFolder = 25,
  kTxtLinkUnreachable = 26,  // "%s": the folders
  kTxtSettingsUnwritable = 27,
  kTxtSettingsSaveFailed = 28,
  kTxtFirstUse = 29,
  kTxtSoundNotSet = 30,
  kTxtSoundMissing = 31,
  kTxtTrayFailed = 32,
  kTxtMemory = 33,
  kTxtNoticeFailed = 34,  // "%s" user, "%s" step code
  kTxtButtonSetting = 40,
  kTxtButtonUpdate = 41,
  kTxtButtonView = 42,
  kTxtButtonViewEdit = 43,
  kTxtButtonPrint = 44,
  kTxtRemove = 45,
  kTxtButtonFromList = 46,
  kTxtButtonFromBinder = 47,
  kTxtButtonClose = 48,
  kTxtGroupCollection = 60,
  kTxtLabelInterval = 61,
  kTxtLabelFileHold = 62,
  kTxtLabelListPeriod = 63,
  kTxtLabelDispListMax = 64,
  kTxtGroupNews = 65,
  kTxtPopup0 = 66,
  kTxtPopup1 = 67,
  kTxtPopup2 = 68,
  kTxtShowBalloon = 69,
  kTxtSoundEnabled = 70,
  kTxtButtonSelect = 71,
  kTxtGroupWorkDesk = 72,
  kTxtWk0 = 73,
  kTxtWk1 = 74,
  kTxtWk2 = 75,
  kTxtUserRsltDel = 76,
  kTxtGroupDisplayImp = 77,
  kTxtSettingNumber = 78,  // "%s": the number
  kTxtOk = 79,
  kTxtCancel = 80,
};

std::string TextStd(int id);
QString Text(int id);
// Text(id) with its "%s" markers filled in order.
QString Text(int id, const std::vector<std::string>& values);

// Asks the user; the answer is one of `buttons`. The windows take one, so
// tests answer without a modal box.
using Asker = std::function<QMessageBox::StandardButton(QWidget* parent, const QString& text,
                                                        QMessageBox::StandardButtons buttons)>;
Asker BoxAsker();

}  // namespace zv::implist::ui
