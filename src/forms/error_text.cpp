#include "forms/error_text.h"

#include <QtGlobal>
#include <filesystem>
#include <new>
#include <string_view>
#include <utility>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/paths.h"

namespace kolt::forms {
namespace {

// Advice of the layers below, written for kolt-validar too, that a user of the windows cannot
// follow, and what the windows say instead. The windows write to the program's own results folder
// (run/program_folders.h) and offer no way to choose another; kolt-validar does.
constexpr std::pair<std::string_view, std::string_view> kWindowAdvice[] = {
    {", o use otra carpeta de resultados.",
     ". La ventana escribe los resultados siempre en la carpeta de resultados del programa; para "
     "dejarlos en otra carpeta, valide con kolt-validar y su opción --resultados CARPETA."},
};

std::string forTheWindows(std::string description) {
  for (const auto& [said, instead] : kWindowAdvice)
    for (auto at = description.find(said); at != std::string::npos;
         at = description.find(said, at + instead.size()))
      description.replace(at, said.size(), instead);
  return description;
}

}  // namespace

QString errorText(long number, const std::string& description) {
  return QString::number(number) + " - " + QString::fromStdString(forTheWindows(description));
}

QString errorText(const std::exception& error) {
  if (const auto* db = dynamic_cast<const base::Error*>(&error))
    return errorText(db->number(), db->description());
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
