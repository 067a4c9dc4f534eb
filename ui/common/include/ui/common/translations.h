// Qt's own texts (the buttons of message boxes, file and print dialogs) in the
// user's language, so a Japanese desktop does not show them in English.
#pragma once

class QCoreApplication;

namespace zv::ui {

// Loads Qt's Japanese translation into the application when the user's
// language is Japanese; nothing happens for English or when the translation
// files are not installed. Returns true when a translation was installed.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace zv::ui
