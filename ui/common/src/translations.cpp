#include "ui/common/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "companion/strings.h"

namespace zv::ui {

bool InstallQtTranslations(QCoreApplication& app) {
  if (companion::UserLanguage() != companion::Language::Japanese) return false;
  // The translator lives as long as the application: it is its child.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace zv::ui
