#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <cstdio>

#include "companion/common.h"
#include "companion/services.h"
#include "dravel/dravel.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "sendfile/recipients.h"
#include "sendfile/ui/marloft.h"
#include "sendfile/window_state.h"

namespace zv::sendfile::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

int Show(const std::string& text, int style) {
  return companion::ComShowMessageBox(text, TextOf(Text::EditorTitle), style);
}

std::string Format(Text t, const std::string& name) {
  std::string pattern = TextOf(t);
  const auto at = pattern.find("%s");
  if (at != std::string::npos) pattern.replace(at, 2, name);
  return pattern;
}

bool Confirm(Text t, const std::string& name) {
  return Show(Format(t, name), companion::kMbOkCancel | companion::kMbIconQuestion) == companion::kIdOk;
}

constexpr const char* kDataFileText = "..\\Application Data\\Brennic\\ZorvanPersonal\\ImpSendUser.dat";

}  // namespace

UserEditor::UserEditor(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(TextOf(Text::EditorTitle)));
  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  edit_ = new QLineEdit(this);
  edit_->setMaxLength(static_cast<int>(kMaxNameWidth));
  left->addWidget(edit_);
  list_ = new QListWidget(this);
  left->addWidget(list_);
  layout->addLayout(left, 1);
  auto* buttons = new QVBoxLayout;
  auto add = [&](Text t, auto slot) {
    auto* b = new QPushButton(Q(TextOf(t)), this);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, slot);
  };
  add(Text::Add, [this] { AddUser(); });
  add(Text::Rename, [this] { RenameUser(); });
  add(Text::Delete, [this] { DeleteUser(); });
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  add(Text::Import, [this, desktop] {
    const QString f =
        QFileDialog::getOpenFileName(this, Q(TextOf(Text::Import)), desktop + "/ImpSendUser.dat", "*.dat");
    if (f.isEmpty()) {
      ToolLog(__FILE__, __LINE__, "InPut File dialog err or cancel");
      return;
    }
    ImportFrom(f);
  });
  add(Text::Export, [this, desktop] {
    const QString f = QFileDialog::getSaveFileName(this, Q(TextOf(Text::Export)), desktop + "/ImpSendUser.dat", "*.dat",
                                                   nullptr, QFileDialog::DontConfirmOverwrite);
    if (f.isEmpty()) {
      ToolLog(__FILE__, __LINE__, "OutPut File dialog err or cancle");
      return;
    }
    ExportTo(f);
  });
  buttons->addStretch();
  add(Text::Close, [this] { accept(); });
  layout->addLayout(buttons);
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(names_.size())) edit_->setText(Q(names_[static_cast<std::size_t>(row)]));
  });
  maxUser_ = ReadToolSettings().maxUser;
  me_ = companion::ThisUserName();
  loaded_ = Load();
  ToolLog(__FILE__, __LINE__, loaded_ ? "Initial name list succeed." : "Initial name list failed.");
  ToolLog(__FILE__, __LINE__, "Start Edit user dialog succeed.");
}

bool UserEditor::Load() {
  char path[DRAVEL_PATH_MAX] = {};
  if (GetAndCheckImpSendUserdat(path) != 0) {
    ToolLog(__FILE__, __LINE__, std::string("Get user infomation file ") + kDataFileText + " failed", -40);
    Show(TextOf(Text::UserReadFailed), companion::kMbIconWarning);
    return false;
  }
  path_ = path;
  ToolLog(__FILE__, __LINE__, std::string("Get user infomation file ") + kDataFileText + " succeed");
  const UserList list = ReadUserList(path_, maxUser_);
  names_ = list.names;
  Refill(names_.empty() ? -1 : 0);
  if (list.status == ListStatus::Ok) {
    ToolLog(__FILE__, __LINE__, "Get user infomation succeed");
    return true;
  }
  ToolLog(__FILE__, __LINE__,
          list.status == ListStatus::OverMax   ? "Get user count error which is over max count."
          : list.status == ListStatus::BadName ? "User Name string length is error."
                                               : "Get error user count or error max user count.");
  Show(TextOf(Text::UserReadFailed), companion::kMbIconWarning);
  return list.status == ListStatus::BadName;
}

void UserEditor::Refill(int select) {
  list_->clear();
  for (const auto& n : names_) list_->addItem(Q(SameName(n, me_) ? n + TextOf(Text::LocalSuffix) : n));
  if (select >= 0 && select < list_->count()) list_->setCurrentRow(select);
}

bool UserEditor::Save() {
  ToolLog(__FILE__, __LINE__, "Start to save ImpSendUser.dat file.");
  char path[DRAVEL_PATH_MAX] = {};
  if (GetAndCheckImpSendUserdat(path) != 0 || !SaveUserList(path, names_, maxUser_)) {
    ToolLog(__FILE__, __LINE__, "Save user file failed.");
    Show(TextOf(Text::SaveFailed), companion::kMbIconWarning);
    return false;
  }
  path_ = path;
  return true;
}

std::optional<std::string> UserEditor::CheckedName(bool rename) {
  std::string name = edit_->text().toStdString();
  switch (CheckName(name)) {
    case NameCheck::Ok: return name;
    case NameCheck::Blank:
      ToolLog(__FILE__, __LINE__,
              rename ? "Input user name is blank,return." : "Enter user name is blank.Show warning message.");
      Show(TextOf(Text::NameBlank), companion::kMbIconWarning);
      break;
    case NameCheck::TooLong:
      ToolLog(__FILE__, __LINE__, "Enter user name is over limited user name length.Show warning message.");
      Show(TextOf(Text::NameTooLong), companion::kMbIconWarning);
      break;
    case NameCheck::Forbidden:
      ToolLog(__FILE__, __LINE__, "Unallowed word is input.");
      Show(TextOf(Text::NameForbidden), companion::kMbIconWarning);
      break;
  }
  return std::nullopt;
}

bool UserEditor::AddUser() {
  ToolLog(__FILE__, __LINE__, "Begin to add user.");
  const auto name = CheckedName(false);
  if (!name) return false;
  if (static_cast<int>(names_.size()) >= maxUser_) {
    Show(TextOf(Text::TooManyUsers), companion::kMbIconWarning);
    return false;
  }
  for (const auto& n : names_) {
    if (SameName(n, *name)) {
      ToolLog(__FILE__, __LINE__, "Find same user name");
      Show(Format(Text::NameTaken, *name), companion::kMbIconWarning);
      return false;
    }
  }
  if (!Confirm(Text::ConfirmAdd, *name)) return false;
  names_.push_back(*name);
  Refill(static_cast<int>(names_.size()) - 1);
  ToolLog(__FILE__, __LINE__, "Add user succeed in backstage and list box.");
  return Save();
}

bool UserEditor::RenameUser() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(names_.size())) {
    ToolLog(__FILE__, __LINE__, "Not choose any user.");
    Show(TextOf(Text::SelectUser), companion::kMbIconWarning);
    return false;
  }
  ToolLog(__FILE__, __LINE__, "Begin to edit user.");
  const auto name = CheckedName(true);
  if (!name) return false;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (static_cast<int>(i) != row && SameName(names_[i], *name)) {
      ToolLog(__FILE__, __LINE__, "User names are same.");
      Show(Format(Text::NameTaken, *name), companion::kMbIconWarning);
      return false;
    }
  }
  if (!Confirm(Text::ConfirmRename, *name)) return false;
  names_[static_cast<std::size_t>(row)] = *name;
  Refill(row);
  ToolLog(__FILE__, __LINE__, "Edit choosed user succeed in backstage and list box.");
  if (Save()) return true;
  ToolLog(__FILE__, __LINE__, "Edit user process failed.");
  return false;
}

bool UserEditor::DeleteUser() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(names_.size())) {
    ToolLog(__FILE__, __LINE__, "Not choose any user.");
    Show(TextOf(Text::SelectUser), companion::kMbIconWarning);
    return false;
  }
  ToolLog(__FILE__, __LINE__, "Begin to delete user.");
  if (!Confirm(Text::ConfirmDelete, names_[static_cast<std::size_t>(row)])) return false;
  names_.erase(names_.begin() + row);
  const bool last = row >= static_cast<int>(names_.size());
  ToolLog(__FILE__, __LINE__,
          names_.empty() ? "To delete user succeed and user count is only 1."
          : last         ? "To delete user which is the last user in the list box."
                         : "To delete user which is not the last user in the list box.");
  Refill(last ? static_cast<int>(names_.size()) - 1 : row);
  return Save();
}

bool UserEditor::ImportFrom(const QString& file) {
  const std::string from = file.toStdString();
  if (from.size() >= DRAVEL_PATH_MAX) {
    ToolLog(__FILE__, __LINE__, "File path is over max length.");
    return false;
  }
  if (!file.endsWith(".dat", Qt::CaseInsensitive)) return false;
  if (Show(TextOf(Text::ConfirmImport), companion::kMbOkCancel | companion::kMbIconQuestion) != companion::kIdOk)
    return false;
  char path[DRAVEL_PATH_MAX] = {};
  if (GetAndCheckImpSendUserdat(path) != 0) {
    Show(TextOf(Text::UserReadFailed), companion::kMbIconWarning);
    return false;
  }
  switch (ImportUserList(path, from, maxUser_)) {
    case ImportStatus::Ok: break;
    case ImportStatus::Missing: ToolLog(__FILE__, __LINE__, "Import file path does not exist."); return false;
    case ImportStatus::NotExported:
    case ImportStatus::BadList: Show(TextOf(Text::ImportRefused), companion::kMbIconWarning); return false;
    case ImportStatus::WriteFailed: Show(TextOf(Text::CopyFailed), companion::kMbIconWarning); return false;
  }
  path_ = path;
  names_ = ReadUserList(path_, maxUser_).names;
  Refill(names_.empty() ? -1 : 0);
  return true;
}

bool UserEditor::ExportTo(const QString& file) {
  const std::string to = file.toStdString();
  if (to.size() >= DRAVEL_PATH_MAX || !file.endsWith(".dat", Qt::CaseInsensitive)) {
    ToolLog(__FILE__, __LINE__, "File path is over max length.");
    return false;
  }
  if (!platform::IsFolder(platform::ParentFolder(to))) {
    ToolLog(__FILE__, __LINE__, "Export file path does not exist.");
    return false;
  }
  if (platform::Exists(to) && Show(platform::LastComponent(to) + TextOf(Text::OverwriteQuestion),
                                   companion::kMbYesNo | companion::kMbIconQuestion) != companion::kIdYes)
    return false;
  char path[DRAVEL_PATH_MAX] = {};
  if (GetAndCheckImpSendUserdat(path) != 0 || !ExportUserList(path, to)) {
    Show(TextOf(Text::CopyFailed), companion::kMbIconWarning);
    return false;
  }
  return true;
}

}  // namespace zv::sendfile::ui
