// The program speaks Spanish throughout: Qt's own texts (the file dialog, the standard buttons)
// come from Qt's Spanish translations, installed with Qt (Debian's qt6-translations-l10n).
#pragma once

class QCoreApplication;

namespace kolt::forms {

// Installs Qt's Spanish translations in `application`. Returns false when they are not installed:
// the program still works, with Qt's own texts in English.
bool installSpanishTranslations(QCoreApplication& application);

}  // namespace kolt::forms
