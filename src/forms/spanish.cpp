#include "forms/spanish.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kolt::forms {

bool installSpanishTranslations(QCoreApplication& application) {
  // Owned by the application, so it outlives every window that asks it for a text.
  auto* translator = new QTranslator(&application);
  if (!translator->load(QLocale(QLocale::Spanish), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace kolt::forms
