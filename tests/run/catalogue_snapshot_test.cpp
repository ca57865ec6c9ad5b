// The catalogue a run reads once at its start: every unit is checked against it whatever happens
// to the file during the run, and Hallazgos.xls names it by its SHA-256.
#include "run/catalogue_snapshot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "access/companion.h"
#include "access/import_support.h"
#include "results/findings_workbook.h"
#include "run/driver.h"
#include "run/file_fingerprint.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;

// The published test vectors (FIPS 180-2 appendix B), and lengths either side of the padding's
// block boundary, where a mistake in the padding shows.
TEST(FileFingerprint, Sha256OfTheStandardVectorsAndOfAFileAcrossItsReads) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1'000'000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"}};
  for (const auto& [text, digest] : vectors) EXPECT_EQ(sha256Hex(text), digest) << text.size();

  test::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 200'001; ++i) bytes += static_cast<char>(i * 7);
  std::ofstream(dir / "f.bin", std::ios::binary) << bytes;
  EXPECT_EQ(fileSha256(dir / "f.bin"), sha256Hex(bytes));
  EXPECT_EQ(fileSha256(dir / "no-existe.bin"), std::nullopt);
}

// Replaces the catalogue's contents in place, as a copy over it does, when DFSSA000002 begins its
// rules: DFSSA000003 and DFSSA000004 are then still to be copied and linked.
struct ReplaceCatalogue : RunObserver {
  ReplaceCatalogue(fs::path file, std::string bytes)
      : file(std::move(file)), bytes(std::move(bytes)) {}
  void ruleStarted(const std::string& unit, const rules::RuleProgress& p) override {
    if (unit != "DFSSA000002" || p.position != 1 || replaced.exchange(true)) return;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  fs::path file;
  std::string bytes;
  std::atomic<bool> replaced{false};
};

std::vector<std::string> rowsOf(const fs::path& book, const std::string& sheet) {
  std::vector<std::string> rows;
  for (const auto& cells : test::sheet(test::readBack(book), sheet)) {
    std::string row;
    for (const auto& cell : cells)
      row += (row.empty() ? "" : "|") + cell.substr(cell.find(':') + 1);
    rows.push_back(row);
  }
  return rows;
}

// A run whose catalogue is replaced part way checks every unit against the catalogue as it was
// when the run began, Folio included, and records that one's SHA-256; the next run reads the new
// one, which does tell the units apart from the first run's.
TEST(CatalogueSnapshot, ACatalogueReplacedDuringTheRunChangesNoUnitsResult) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  test::TempDir dir;
  const fs::path app = dir / "programa";
  fs::create_directories(app);
  test::manyUnitSource(dir / "origen.db", 4);
  {
    // Each unit's death with its certificate, which Folio lists.
    engine::Connection source;
    source.open(dir / "origen.db");
    source.executeNative("UPDATE EGRESO SET motegre = '5'");
    source.executeNative(
        "INSERT INTO DEFUNC (folio, clues, egreso, certif, causabas) SELECT folio, clues, egreso, "
        "'123456789', 'J189' FROM EGRESO");
  }
  const fs::path catalogue = app / "ValidacionesKOLT.db";
  test::ruleCatalogue(catalogue);
  {
    engine::Connection cnn;
    cnn.open(catalogue);
    cnn.executeNative("INSERT INTO Folio (certificado) VALUES ('123456789')");
  }
  const std::string first = test::fileText(catalogue);
  // The same tables, emptied: every code and certificate of the units goes missing from them.
  const fs::path emptied = dir / "vaciado.db";
  fs::copy_file(catalogue, emptied);
  {
    engine::Connection cnn;
    cnn.open(emptied);
    for (const char* table : {"CATCIE10", "CATLOCAL", "CATSERVICIOS", "Folio"})
      cnn.executeNative(std::string("DELETE FROM ") + table);
  }
  const std::string second = test::fileText(emptied);

  Session session(app);
  openDatabases(session, dir / "origen.db");
  engine::StatementLog log;
  const std::vector<Unit> units = CargaUnidades(session.cnnOrigen, log);
  auto run = [&](const fs::path& results, RunObserver* observer) {
    session.resultsFolder = results;
    const RunOutcome outcome =
        runValidation(test::requestFor(session, units, nullptr, nullptr, 1), observer);
    EXPECT_FALSE(outcome.errorReport) << outcome.errorReport->text();
    return outcome;
  };

  run(dir / "antes", nullptr);
  const auto expected = rowsOf(dir / "antes" / results::kLibroHallazgos, "PorUnidad");
  ASSERT_EQ(expected.size(), 5u);

  ReplaceCatalogue replace(catalogue, second);
  run(dir / "durante", &replace);
  ASSERT_TRUE(replace.replaced);
  EXPECT_EQ(rowsOf(dir / "durante" / results::kLibroHallazgos, "PorUnidad"), expected);
  const auto ejecucion = rowsOf(dir / "durante" / results::kLibroHallazgos, "Ejecucion");
  EXPECT_NE(
      std::find(ejecucion.begin(), ejecucion.end(), "SHA-256 de los catálogos|" + sha256Hex(first)),
      ejecucion.end());

  run(dir / "despues", nullptr);
  EXPECT_NE(rowsOf(dir / "despues" / results::kLibroHallazgos, "PorUnidad"), expected)
      << "the emptied catalogue finds nothing more: the test shows nothing";
}

// An Access catalogue is read through its companion, which the run's start found current: a file
// saved again since then is not what the companion holds, and its fingerprint would name other
// contents than the ones the units read.
TEST(CatalogueSnapshot, AnAccessCatalogueSavedAgainSinceItsCompanionWasMadeIsRefused) {
  test::TempDir dir;
  const fs::path file = dir / "ValidacionesKOLT.accdb";
  fs::copy_file(test::sample("testV2010.accdb"), file);
  RunRequest request;
  request.catalogueFile = file;
  request.catalogue = access::openSourceCompanion(file, dir / "R", test::importOptions());
  EXPECT_EQ(freezeCatalogue(request).sha256, fileSha256(file));

  const auto bytes = test::readFixture(file);
  test::writeFile(file, bytes);
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(5));
  test::expectError([&] { freezeCatalogue(request); }, base::kErrFile, "cambió mientras se leía");
}

}  // namespace
}  // namespace kolt::run
