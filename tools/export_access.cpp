// Writes tables of an engine database into a new Access 2000-2003 file (.mdb), so the program's
// Access path can be tried on any data: demonstrations, benchmarks and tests by hand.
//
//   kolt-exportar-mdb ORIGEN.db DESTINO.mdb [TABLA]...
//
// Without table names every table is written. The file is built under a temporary name and renamed
// into place. Exit status: 0 written, 1 failed (the message says why), 2 bad usage.
#include <cstdio>
#include <string>
#include <vector>

#include "access_writer/engine_export.h"
#include "base/error.h"
#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "help_option.h"

namespace {

constexpr const char* kUsage =
    "Uso: kolt-exportar-mdb ORIGEN.db DESTINO.mdb [TABLA]...\n"
    "Escribe las tablas de ORIGEN (todas, o las nombradas) en un archivo de Access nuevo.\n";

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv)) return kolt::tools::printHelp(kUsage);
  if (argc < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::vector<std::string> tables(argv + 3, argv + argc);
  try {
    for (const auto& t : kolt::access_writer::exportToAccess(
             kolt::platform::pathFromUtf8(argv[1]), kolt::platform::pathFromUtf8(argv[2]), tables))
      std::printf("%s: %llu filas\n", t.name.c_str(), static_cast<unsigned long long>(t.rows));
  } catch (const kolt::base::Error& e) {
    std::fprintf(stderr, "%ld - %s\n", e.number(), e.description().c_str());
    return 1;
  }
  return 0;
}
