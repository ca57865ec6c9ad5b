// Times the statement layer on one unit of realistic size: the translation of a rule statement,
// a rule statement with a three-column join on a 10,000-discharge table, a rule as an office
// writes it (the dialect's own functions on every row), and the export of a 10,000-row sheet.
//
//   kolt-bench-dialect [FOLDER]     (default: a fresh folder under /tmp)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "engine/connection.h"
#include "engine/dialect/translation.h"
#include "help_option.h"
#include "results/workbook_sink.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  namespace fs = std::filesystem;
  if (kolt::tools::asksForHelp(argc, argv))
    return kolt::tools::printHelp(
        "Uso: kolt-bench-dialect [CARPETA]\n"
        "Mide la traducción de sentencias, una regla con unión y la exportación de una hoja.\n");
  using kolt::engine::Connection;
  const fs::path folder =
      argc > 1 ? kolt::platform::pathFromUtf8(argv[1]) : fs::temp_directory_path() / "kolt-bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  Connection::createDatabase(folder / "w.db");
  kolt::results::WorkbookSink sheets;
  Connection cnn;
  cnn.open(folder / "w.db");
  cnn.setExportSink(&sheets);

  const int discharges = 10000;
  cnn.execute(
      "CREATE TABLE EGRESO(cedocve char(2) NULL, folio char(8) NULL, clues char(11) "
      "NULL, egreso datetime NULL, sexo char(1) NULL, edad integer NULL, diag_ini char(4) "
      "NULL, afecprin char(4) NULL)");
  cnn.execute(
      "CREATE TABLE AFECCIONES(folio char(8) NULL, clues char(11) NULL, egreso datetime "
      "NULL, afec char(4) NULL)");
  std::string values;
  for (int i = 0; i < discharges; ++i) {
    const std::string folio = std::to_string(100000 + i);
    const std::string day =
        "2013-03-" + std::string(i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1) + " 00:00:00";
    const std::string code = i % 50 == 0 ? "Z301" : "A0" + std::to_string(10 + i % 90);
    cnn.execute("INSERT INTO EGRESO VALUES ('09','" + folio + "','DFSSA000001','" + day + "','" +
                std::to_string(1 + i % 2) + "'," + std::to_string(i % 90) + ",'" + code + "','" +
                code + "')");
    cnn.execute("INSERT INTO AFECCIONES VALUES ('" + folio + "','DFSSA000001','" + day + "','" +
                (i % 70 == 0 ? "Z301" : "B201") + "'), ('" + folio + "','DFSSA000001','" + day +
                "','C300')");
  }

  const std::string rule =
      "select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  Z301 from "
      "egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and "
      "e.egreso=a.egreso WHERE e.diag_ini='Z301' OR e.afecprin='Z301' OR a.afec='Z301' Group by "
      "e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec ";

  // What translating `statement` costs, then what running it once on the tables costs.
  const auto timeStatement = [&](const char* what, const std::string& statement) {
    const int translations = 1000;
    auto start = Clock::now();
    for (int i = 0; i < translations; ++i) (void)kolt::engine::translate(statement);
    std::printf("translate %s: %.1f us\n", what, millisecondsSince(start) * 1000.0 / translations);
    start = Clock::now();
    cnn.execute(statement);
    std::printf("run it on the tables (%d discharges, %d conditions): %.1f ms (%lld rows)\n",
                discharges, 2 * discharges, millisecondsSince(start),
                static_cast<long long>(cnn.rowsWritten()));
  };
  timeStatement("one rule statement", rule);
  // A rule as an office writes it: the dialect's own functions on every row.
  const std::string officeRule =
      "select folio, clues, egreso, edad Into Oficina from EGRESO WHERE DateDiff('d', "
      "#2013/03/01#, egreso) > 20 AND afecprin Like '[!A-C]##*' AND Nz(edad, 0) Mod 7 = 0 "
      "AND InStr(clues, 'ssa') > 0 AND IIf(IsNull(sexo), '', sexo) & '' = '1'";
  timeStatement("an office rule statement", officeRule);

  auto start = Clock::now();
  cnn.execute("select * into Grande from EGRESO");
  cnn.execute("SELECT * INTO [Grande] IN '" + kolt::platform::utf8((folder / "libro.xls")) +
              "' 'Excel 8.0;' FROM Grande");
  std::printf("export a %d-row sheet: %.1f ms\n", discharges, millisecondsSince(start));
  return 0;
}
