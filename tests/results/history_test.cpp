// Historial.db: what a run keeps, what a later run reads back, and what a history that is not one
// becomes.
#include "results/history.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/connection.h"
#include "support/paths.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

RunRecord runOf(const std::string& started, const std::string& periodStart = "01/01/2023") {
  RunRecord record;
  record.run.started = started;
  record.ended = started;
  record.run.source = "/datos/egresos.mdb";
  record.run.catalogue = "/programa/ValidacionesKOLT.db";
  record.run.demonstrationCatalogue = true;
  record.periodStart = periodStart;
  record.periodEnd = "31/12/2023";
  record.run.period = periodStart + " al 31/12/2023";
  record.run.unitsAsked = {"DF01", "DF02"};
  record.run.ending = "Terminada";
  return record;
}

UnitResult unitOf(const std::string& code, std::vector<Finding> found, const std::string& started) {
  UnitResult unit;
  unit.unit = code;
  unit.verdict = found.empty() ? "CORRECTA" : "A REVISAR";
  unit.discharges = 10;
  unit.rules = {{1, "Validacion1", false, static_cast<std::int64_t>(found.size()), !found.empty()},
                {2, "Validacion2", true, -1, false}};
  unit.changes = compareFindings(found, {2}, std::nullopt, started);
  unit.found = std::move(found);
  return unit;
}

void keep(const fs::path& folder, const RunRecord& run, const std::vector<UnitResult>& units) {
  History history(folder);
  ASSERT_TRUE(history.available());
  history.begin(run);
  for (const UnitResult& unit : units) history.addFindings(unit);
  history.finish(run, units);
}

TEST(History, ALaterRunReadsTheLatestRunOfEachUnitOverTheSamePeriod) {
  test::TempDir temp;
  const fs::path dir = temp.path();
  const Finding wrong{1, "10", "15/03/2023", "folio=10 | edad=200"};
  keep(dir, runOf("2026-10-01 08:00:00"), {unitOf("DF01", {wrong}, "2026-10-01 08:00:00")});
  keep(dir, runOf("2026-11-01 08:00:00"),
       {unitOf("DF01", {wrong, wrong}, "2026-11-01 08:00:00"), unitOf("DF02", {}, "")});
  // Another period is another comparison.
  keep(dir, runOf("2026-11-15 08:00:00", "01/06/2023"), {unitOf("DF01", {}, "")});
  // A run that never finished leaves nothing.
  {
    History history(dir);
    history.begin(runOf("2026-11-20 08:00:00"));
    history.addFindings(unitOf("DF01", {}, ""));
  }

  {
    History history(dir);
    EXPECT_TRUE(history.notes().empty());
    // Read as each unit is compared, while the next run is being kept: its own findings, added
    // unit by unit, are never taken for an earlier run's.
    const RunRecord next = runOf("2026-12-01 08:00:00");
    history.begin(next);
    history.addFindings(unitOf("DF01", {wrong, {1, "11", "", "folio=11"}}, "2026-12-01 08:00:00"));
    history.addFindings(unitOf("DF03", {wrong}, "2026-12-01 08:00:00"));
    const auto df01 = history.earlier("DF01", "01/01/2023", "31/12/2023");
    ASSERT_TRUE(df01);
    EXPECT_EQ(df01->started, "2026-11-01 08:00:00");
    EXPECT_EQ(df01->failedRules, std::set<int>{2});
    ASSERT_EQ(df01->findings.size(), 2u);
    EXPECT_EQ(df01->findings[0].finding.row, wrong.row);
    EXPECT_EQ(df01->findings[0].finding.dischargeDate, "15/03/2023");
    EXPECT_EQ(df01->findings[0].firstSeen, "2026-11-01 08:00:00");
    const auto df02 = history.earlier("DF02", "01/01/2023", "31/12/2023");
    ASSERT_TRUE(df02);
    EXPECT_TRUE(df02->findings.empty());
    EXPECT_FALSE(history.earlier("DF03", "01/01/2023", "31/12/2023"));
    const auto otherPeriod = history.earlier("DF01", "01/06/2023", "31/12/2023");
    ASSERT_TRUE(otherPeriod);
    EXPECT_EQ(otherPeriod->started, "2026-11-15 08:00:00");
  }  // the run being kept never finishes

  const auto runs = History::list(dir);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].started, "2026-11-15 08:00:00");
  EXPECT_EQ(runs[1].findings, 2);
  EXPECT_EQ(runs[1].units, 2);
  EXPECT_EQ(runs[1].unitsAsked, 2);
  EXPECT_TRUE(runs[1].demonstrationCatalogue);
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A history that is not one never stops a run: it is set aside, whole, and a new one begun.
TEST(History, AFileThatIsNoHistoryIsSetAsideAndANewOneBegun) {
  for (const bool otherDatabase : {false, true}) {
    SCOPED_TRACE(otherDatabase ? "another program's database" : "a text");
    test::TempDir temp;
    const fs::path dir = temp.path();
    if (otherDatabase) {
      engine::Connection::createDatabase(dir / kHistorial);
      engine::Connection other;
      other.open(dir / kHistorial);
      other.executeNative("CREATE TABLE ejecuciones(id INTEGER)");
    } else {
      std::ofstream(dir / kHistorial, std::ios::binary) << "no soy una base";
    }
    const std::string before = bytesOf(dir / kHistorial);

    History history(dir);
    ASSERT_TRUE(history.available());
    ASSERT_EQ(history.notes().size(), 1u);
    EXPECT_NE(history.notes()[0].find("se apartó como Historial-apartado-"), std::string::npos)
        << history.notes()[0];
    int setAside = 0;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().filename().string().starts_with("Historial-apartado-")) {
        ++setAside;
        EXPECT_EQ(bytesOf(entry.path()), before);
      }
    EXPECT_EQ(setAside, 1);
    history.begin(runOf("2026-11-01 08:00:00"));
    history.finish(runOf("2026-11-01 08:00:00"), {});
    EXPECT_EQ(History::list(dir).size(), 1u);
  }
}

}  // namespace
}  // namespace kolt::results
