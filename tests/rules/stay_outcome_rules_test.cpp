#include <gtest/gtest.h>

#include <algorithm>

#include "rules/validaciones.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kNull;
using test::TempDir;
using test::WorkingDb;
using Folios = std::vector<std::string>;

// Each case is a discharge whose folio names it.
class StayOutcomeRules : public ::testing::Test {
 protected:
  TempDir dir;
  WorkingDb db{dir / "Val.mdb"};

  void run() {
    const FrameReport report =
        Validaciones(db.connection(), dir / "Val.xls", {.firstRule = 37, .lastRule = 41});
    for (const StatementRecord* s : report.failures())
      ADD_FAILURE() << "rule " << s->rule << ": " << s->text << "\n" << s->errorDescription;
  }
  Folios listed(int rule) {
    Folios folios = db.column("Validacion" + std::to_string(rule), "folio");
    std::sort(folios.begin(), folios.end());
    return folios;
  }
  void stay(std::string folio, db::Value afecprin, int days) {
    db.egreso({{"folio", folio}, {"afecprin", afecprin}, {"dias_esta", days}});
  }
};

TEST_F(StayOutcomeRules, LongStaysByPrincipalDiagnosisGroupInStatementOrder) {
  // Added against statement order, so the result order shows the statements'.
  stay("K92", "K92", 7);
  stay("K920", "K920", 7);
  stay("Z380", "Z380", 7);
  stay("Z370", "Z370", 30);
  stay("Z301", "Z301", 7);
  stay("E119", "E119", 7);
  stay("E118", "E118", 7);
  stay("E11", "E11", 7);
  stay("A09X", "A09X", 7);
  stay("R000", "R000", 7);
  stay("R95", "R95", 7);
  stay("O800-6", "O800", 6);
  stay("O800-7", "O800", 7);
  stay("o84x", "o84x", 7);
  stay("O85X", "O85X", 7);

  stay("F200-90", "F200", 90);
  stay("J189-60", "J189", 60);
  stay("J189-61", "J189", 61);
  stay("null-90", kNull, 90);
  stay("empty-90", "", 90);
  run();

  EXPECT_EQ(db.column("Validacion37", "folio"),
            (Folios{"O800-7", "o84x", "R000", "A09X", "E119", "Z301", "Z380", "K92", "K920"}));
  EXPECT_EQ(listed(38), (Folios{"J189-61", "empty-90"}));
}

TEST_F(StayOutcomeRules, OutcomeCodesRowPerJoinedChildRow) {
  db.egreso({{"folio", "o95-death"}, {"afecprin", "O95X"}, {"motegre", "5"}});
  db.egreso({{"folio", "o95-null-motegre"}, {"afecprin", "O95X"}, {"motegre", kNull}});
  db.egreso({{"folio", "o96-afec"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "O961"}}).afecciones({{"afec", "E119"}});
  db.egreso({{"folio", "o95-prin"}, {"afecprin", "o95x"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "E119"}}).afecciones({{"afec", "N390"}});
  db.egreso({{"folio", "o97-ini"}, {"diag_ini", "O970"}});

  db.egreso({{"folio", "p95-prin"}, {"afecprin", "P95X"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "E119"}}).defunc({{"causabas", "P95X"}});
  db.egreso({{"folio", "p950-afec"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "P950"}});
  db.egreso({{"folio", "p96"}, {"afecprin", "P969"}});

  db.egreso({{"folio", "s-no-defunc"}, {"afecprin", "S720"}});
  db.egreso({{"folio", "s-null-cause"}, {"afecprin", "S720"}});
  db.defunc({{"causabas", kNull}});
  db.egreso({{"folio", "t-w"}, {"afecprin", "T510"}});
  db.defunc({{"causabas", "w019"}});
  db.egreso({{"folio", "s-i21"}, {"afecprin", "s720"}});
  db.defunc({{"causabas", "I219"}});
  db.egreso({{"folio", "t-two"}, {"afecprin", "T509"}});
  db.defunc({{"causabas", "I219"}}).defunc({{"causabas", "X600"}});
  run();

  EXPECT_EQ(listed(39), (Folios{"o95-prin", "o95-prin", "o95-prin", "o96-afec", "o97-ini"}));
  // o96-afec's one row carries the condition that holds the code.
  for (const std::vector<std::string>& row : db.rows("Validacion39"))
    EXPECT_TRUE(row.at(1) != "o96-afec" || row.at(7) == "O961");
  EXPECT_EQ(listed(40), (Folios{"p95-prin", "p95-prin", "p950-afec"}));
  EXPECT_EQ(listed(41), (Folios{"s-i21", "t-two"}));
}

}  // namespace
}  // namespace kolt::rules
