// Writes the list of the functions an office rule may call, the part of
// docs/reglas-adicionales.md between its two marks: every row of the dialect's function table,
// family by family, with its usage, an example and what it gives.
//
//   kolt-funciones [REFERENCIA.md]   (without a file, the list to standard output)
//
// With a file, the list in it is replaced and the rest of the file kept as it is. The list is made
// from the table the engine runs, so it cannot say anything else; a test compares the committed
// file with what this tool writes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "engine/dialect/function_table.h"
#include "help_option.h"

namespace {

using kolt::engine::dialect::AccessFunction;
using kolt::engine::dialect::FunctionFamily;

constexpr std::string_view kBegin =
    "<!-- Desde aquí hasta la marca de fin, la lista la escribe kolt-funciones a partir de la "
    "tabla de funciones del programa; no se edita a mano. -->";
constexpr std::string_view kEnd = "<!-- Fin de la lista de funciones. -->";

struct FamilyTitle {
  FunctionFamily family;
  std::string_view title;
};
constexpr FamilyTitle kFamilies[] = {
    {FunctionFamily::Text, "Textos"},
    {FunctionFamily::Number, "Números"},
    {FunctionFamily::Conversion, "Conversiones"},
    {FunctionFamily::Date, "Fechas"},
    {FunctionFamily::Condition, "Condiciones y nulos"},
    {FunctionFamily::Aggregate, "Totales (con GROUP BY o sobre toda la consulta)"},
};

// A cell of a Markdown table: a | would end it early.
std::string cell(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

void list(std::ostream& out) {
  out << kBegin << "\n";
  for (const FamilyTitle& family : kFamilies) {
    out << "\n#### " << family.title << "\n\n"
        << "| Función | Ejemplo | Comportamiento |\n|---|---|---|\n";
    for (const AccessFunction& f : kolt::engine::dialect::accessFunctions())
      if (f.family == family.family)
        out << "| `" << cell(f.usage) << "` | `" << cell(f.example) << "` | " << cell(f.behaviour)
            << " |\n";
  }
  out << "\n" << kEnd << "\n";
}

// The file with its list replaced; empty when it lacks either mark.
std::string replaced(const std::string& text) {
  const auto begin = text.find(kBegin);
  const auto end = text.find(kEnd);
  if (begin == std::string::npos || end == std::string::npos || end < begin) return {};
  std::ostringstream out;
  list(out);
  return text.substr(0, begin) + out.str() + text.substr(text.find('\n', end) + 1);
}

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv))
    return kolt::tools::printHelp(
        "Uso: kolt-funciones [REFERENCIA.md]\n"
        "Escribe la lista de las funciones que admite el dialecto de las reglas adicionales, de\n"
        "la tabla de funciones del programa. Con un archivo (docs/reglas-adicionales.md), cambia\n"
        "la lista que hay entre sus dos marcas; sin archivo, la escribe en la salida estándar.\n");
  if (argc > 2) {
    std::fputs("Uso: kolt-funciones [REFERENCIA.md]\n", stderr);
    return 2;
  }
  if (argc == 1) {
    list(std::cout);
    return std::cout.flush() ? 0 : 1;
  }
  const auto path = kolt::platform::pathFromUtf8(argv[1]);
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  const std::string out = replaced(text);
  if (out.empty()) {
    std::fprintf(stderr, "kolt-funciones: %s no tiene las marcas de la lista de funciones\n",
                 argv[1]);
    return 1;
  }
  std::ofstream file(path, std::ios::binary);
  file << out;
  if (!file.flush()) {
    std::fprintf(stderr, "kolt-funciones: no se pudo escribir %s\n", argv[1]);
    return 1;
  }
  return 0;
}
