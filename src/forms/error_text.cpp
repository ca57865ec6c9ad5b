#include "forms/error_text.h"

#include <QtGlobal>
#include <filesystem>
#include <new>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/paths.h"

namespace kolt::forms {

QString errorText(const std::exception& error) {
  if (const auto* db = dynamic_cast<const base::Error*>(&error))
    return QString::number(db->number()) + " - " + QString::fromStdString(db->description());
  // Anything else is a fault of the program or the machine (memory, disk); the user still needs to
  // know the work did not happen, and what to try. The system's own words are for the developer.
  qWarning("%s", error.what());
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    return QString::fromUtf8(
        "No queda memoria libre para terminar el trabajo. Cierre otros programas y vuelva a "
        "intentarlo.");
  if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&error))
    return QString::fromStdString("No se pudo usar el archivo '" + platform::utf8(file->path1()) +
                                  "'" + base::becauseOf(file->code()) +
                                  ". Compruebe que la carpeta existe, que tiene permiso para "
                                  "escribir en ella y que hay espacio libre en el disco.");
  return QString::fromUtf8(
      "El trabajo no se pudo terminar por un fallo inesperado del programa. Vuelva a intentarlo; "
      "si se repite, anote lo que hizo y avise a quien le dio el programa.");
}

}  // namespace kolt::forms
