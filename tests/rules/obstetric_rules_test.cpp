// Rules 85 to 113, each run alone, or with the group whose work tables it reads, so that another
// rule's fault fails only that rule's tests. Every case is a discharge whose folio names it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "rules/rule_fixture.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kNull;
using Rows = std::vector<std::vector<std::string>>;
const std::string kClues(test::kClues), kEgreso(test::kEgreso);

class ObstetricRules : public RuleTest {
 protected:
  ObstetricRules() : RuleTest(85, 113) {}

  test::WorkingDb& discharge(const std::string& folio, const std::string& diag_ini,
                             const std::string& afecprin) {
    return db.egreso({{"folio", folio}, {"diag_ini", diag_ini}, {"afecprin", afecprin}});
  }
  // An obstetric event with one product per weight.
  void event(const std::string& folio, const std::string& tipaten, const base::Value& gestac,
             const std::vector<base::Value>& weights) {
    db.egreso({{"folio", folio}});
    db.obstet({{"tipaten", tipaten}, {"gestac", gestac}});
    for (const base::Value& w : weights) db.productos({{"pesoprod", w}});
  }
};

TEST_F(ObstetricRules, ResultColumnsComeInTheStatedOrderAndNoWorkTableRemains) {
  const std::string key = "folio,clues,egreso";
  const std::string notices =
      ",Notificación Diaria,Notificación Semanal,Notificación Inmediata,Sistema Especial";
  const std::map<int, std::string> expected = {
      {85, "cedocve," + key + ",diag_ini,afecprin,afec,hayprod,tipaten"},
      {87, key + ",hayprod"},
      {88, key + ",hayprod,tipaten,producto,tipnaci,planfam"},
      {89, key + ",hayprod,tipaten"},
      {90, key + ",tipaten"},
      {91, key + ",tipaten,producto,tipnaci,planfam"},
      {92, key + ",tipaten,gestac,producto,tipnaci,planfam,numproducto,pesoprod,sexprod,condnac,"
                 "condegre"},
      {96, key + ",tipaten,producto,numproducto"},
      {97, key + ",numproducto,sexprod,condnac,condegre"},
      {99, key + ",condnac,naviapag,navirean,navicune,condegre"},
      {101, key + ",diag_ini,afecprin,afec,tipnaci"},
      {102, key + ",promed,tipnaci"},
      {103, key + ",tipnaci,promed"},
      {104, key + ",diag_ini,afecprin,afec,promed"},
      {105, key + ",afecprin,promed"},
      {106, key + ",promed,hayprod"},
      {108, key + ",causabas" + notices},
      {111, "cedocve," + key + ",planfam"},
      {113, key + ",Certif"},
  };
  const std::vector<std::string> before = db.tableNames();
  run(85, 113);
  for (const auto& [rule, expectedColumns] : expected)
    EXPECT_EQ(columns(rule), expectedColumns) << "Validacion" << rule;
  std::vector<std::string> after;
  for (const std::string& name : db.tableNames())
    if (!name.starts_with("Validacion")) after.push_back(name);
  EXPECT_EQ(after, before);
}

TEST_F(ObstetricRules, TipatenAgainstAbortionAndDeliveryDiagnoses) {
  discharge("ab-no-obstet", "J189", "O034");
  discharge("ab-two-afec", "J189", "O039").obstet();
  db.afecciones({{"afec", "E119"}}).afecciones({{"afec", "O021"}});
  discharge("ab-dup-obstet", "J189", "O039").obstet().obstet();
  discharge("both-1", "O034", "O800").obstet({{"tipaten", "1"}});
  discharge("both-empty", "O034", "O800").obstet({{"tipaten", ""}});
  discharge("ab-null", "J189", "O034").obstet({{"tipaten", kNull}});
  discharge("O07-blank1", "O070", "J189").obstet({{"tipaten", " 1"}});
  discharge("O08", "O085", "J189").obstet();
  discharge("O84-hp2", "J189", "O849")
      .obstet({{"hayprod", 2}, {"tipnaci", kNull}, {"producto", kNull}, {"planfam", kNull}});
  discharge("afec-only", "J189", "J189").obstet({{"tipaten", "1"}});
  db.afecciones({{"afec", "O800"}}).afecciones({{"afec", "O842"}}).afecciones();
  discharge("hp-null", "J189", "J189").obstet({{"hayprod", kNull}, {"tipaten", "7"}});
  discharge("hp-3-blanks", "J189", "J189").obstet({{"hayprod", 3}, {"tipaten", "  "}});
  discharge("hp1-blanks", "J189", "J189").obstet({{"tipaten", "  "}});
  EXPECT_EQ(listedAlone(85),
            (Folios{"O07-blank1", "ab-dup-obstet", "ab-two-afec", "ab-two-afec", "both-empty"}));
  EXPECT_EQ(listedAlone(86), (Folios{"afec-only", "afec-only", "both-1", "both-empty"}));
  EXPECT_EQ(listedAlone(87), (Folios{"hp-3-blanks", "hp-null"}));
  EXPECT_EQ(listedAlone(88), (Folios{"O84-hp2"}));
  EXPECT_EQ(listedAlone(89), (Folios{"ab-null", "both-empty", "hp1-blanks"}));
  EXPECT_EQ(listedAlone(90), (Folios{"hp-null"}));
}

TEST_F(ObstetricRules, WeightsAndWeeksAtEveryBoundAndNonNumbersDropOut) {
  for (const char* w : {"0500", "0501", "0000", "9999", "450", "-100", "ABCD"})
    event(std::string("ab-w") + w, "1", "10", {w});
  for (const char* g : {"21", "22", "00", "99", "-1", "AB", "5"})
    event(std::string("ab-g") + g, "1", g, {"0100"});
  event("ab-none-g10", " 1", "10", {});
  event("ab-none-g25", "1", "25", {});
  event("ab-null-w", "1", "10", {kNull});
  for (const char* w : {"0500", "0501", "6000", "6001", "9998", "9999", "-100", "ABCD"})
    event(std::string("de-w") + w, "2", "39", {w});
  for (const char* g : {"21", "22", "45", "46", "98", "99"})
    event(std::string("de-g") + g, "2", g, {"3000"});
  event("de-two-g50", "2", "50", {"3000", "3100"});
  event("de-none-g39", "2", "39", {});
  event("de-none-gnull", "2", kNull, {});
  EXPECT_EQ(listedAlone(92), (Folios{"ab-g00", "ab-g22", "ab-g5", "ab-none-g25", "ab-w0000",
                                     "ab-w0501", "ab-w450"}));
  EXPECT_EQ(listedAlone(95), (Folios{"de-g21", "de-g46", "de-g98", "de-two-g50", "de-two-g50",
                                     "de-w-100", "de-w0500", "de-w6001", "de-w9998"}));
  // A record without products keeps its event columns and NULL product columns.
  const Rows rows = db.rows("Validacion92");
  const std::vector<std::string> none{"ab-none-g25", kClues, kEgreso, "1",    "25",   "1",   "1",
                                      "4",           "NULL", "NULL",  "NULL", "NULL", "NULL"};
  EXPECT_NE(std::find(rows.begin(), rows.end(), none), rows.end()) << testing::PrintToString(rows);
}

TEST_F(ObstetricRules, EventCodesProductCountsAndNewbornFields) {
  const std::pair<std::string_view, base::Value> abortion = {"tipaten", "1"},
                                                 noType = {"tipnaci", kNull};
  db.egreso({{"folio", "ab-1-none"}}).obstet({abortion, noType});
  db.egreso({{"folio", "ab-2-none"}}).obstet({abortion, noType, {"producto", "2"}});
  db.egreso({{"folio", "ab-1-two"}}).obstet({abortion, noType}).productos().productos();
  db.egreso({{"folio", "de-2-two"}}).obstet({{"producto", "2"}}).productos().productos();
  db.egreso({{"folio", "de-2-one"}}).obstet({{"producto", " 2"}}).productos();
  db.egreso({{"folio", "de-1-one"}}).obstet().productos();
  db.egreso({{"folio", "ab-null-codes"}})
      .obstet({abortion, {"producto", kNull}, {"planfam", kNull}, {"tipnaci", " "}})
      .productos();
  db.egreso({{"folio", "ab-empty-prod"}}).obstet({abortion, noType, {"producto", ""}}).productos();
  db.egreso({{"folio", "de-null-tipnaci"}}).obstet({{"tipnaci", kNull}}).productos();
  db.egreso({{"folio", "de-blank-tipnaci"}}).obstet({{"tipnaci", " "}}).productos();
  db.egreso({{"folio", "de-pf7"}}).obstet({{"planfam", "7"}}).productos();
  db.egreso({{"folio", "other-tipaten"}}).obstet({{"tipaten", "3"}, {"producto", "9"}});
  db.egreso({{"folio", "p-null-codes"}})
      .productos({{"sexprod", kNull}, {"condnac", kNull}, {"condegre", kNull}});
  db.egreso({{"folio", "p-sex3"}}).productos({{"sexprod", "3"}});
  db.egreso({{"folio", "p1-navi"}}).productos({{"naviapag", "8"}});
  db.egreso({{"folio", "p1-null-egre"}}).productos({{"condegre", kNull}});
  db.egreso({{"folio", "p1-egre1"}}).productos({{"condegre", "1"}});
  // A product with condnac '2' and valid fields, but for `change` (the first value named wins).
  auto born = [&](const std::string& folio, std::pair<std::string_view, base::Value> change) {
    db.egreso({{"folio", folio}})
        .productos({change,
                    {"condnac", "2"},
                    {"naviapag", "8"},
                    {"navirean", "1"},
                    {"navicune", "1"},
                    {"condegre", "1"}});
  };
  born("p2-ok", {"condnac", "2"});
  born("p2-null-apgar", {"naviapag", kNull});
  born("p2-null-rean", {"navirean", kNull});
  born("p2-rean3", {"navirean", "3"});
  born("p2-blank-cune", {"navicune", " "});
  born("p2-egre4", {"condegre", "4"});
  EXPECT_EQ(listedAlone(91), (Folios{"ab-empty-prod"}));
  EXPECT_EQ(listedAlone(94), (Folios{"de-blank-tipnaci", "de-pf7"}));
  // numproducto counts the joined rows: an event without products counts one.
  run(93, 93);
  EXPECT_EQ(db.rows("Validacion93"), (Rows{{"ab-1-two", kClues, kEgreso, "1", "1", "2"},
                                           {"ab-2-none", kClues, kEgreso, "1", "2", "1"}}));
  EXPECT_EQ(listedAlone(96), (Folios{"de-2-one"}));
  EXPECT_EQ(db.column("Validacion96", "numproducto"), (Folios{"1"}));
  EXPECT_EQ(listedAlone(97), (Folios{"p-sex3", "p2-egre4"}));
  EXPECT_EQ(listedAlone(98), (Folios{"p1-egre1", "p1-navi"}));
  EXPECT_EQ(listedAlone(99), (Folios{"p2-blank-cune", "p2-egre4", "p2-null-apgar", "p2-rean3"}));
}

TEST_F(ObstetricRules, DeliveryTypeAgainstDiagnosesAndCaesareanProcedures) {
  auto obstetric = [&](const std::string& folio, const std::string& afecprin, base::Value hayprod,
                       base::Value tipnaci, std::vector<std::string> procedures) -> auto& {
    discharge(folio, "J189", afecprin).obstet({{"hayprod", hayprod}, {"tipnaci", tipnaci}});
    for (const std::string& p : procedures) db.procedimientos({{"promed", p}});
    return db;
  };
  obstetric("O80-null", "O800", 1, kNull, {});
  obstetric("O80-3", "O809", 1, "3", {"7410"});
  obstetric("O80-hp2", "O800", 2, "3", {});
  obstetric("O80-two74", "O800", 1, "1", {"7410", "7499", "7410"});
  obstetric("O82-1", "O342", 1, "1", {}).afecciones({{"afec", "O821"}});
  obstetric("O82-ok", "O342", 1, "3", {"7401"}).afecciones({{"afec", "O821"}});
  obstetric("O82-afecprin", "O821", 1, "3", {"7410"});
  obstetric("O81-afecprin", "O814", 1, "3", {"7410"});
  obstetric("tn3-no74", "O342", 1, "3", {"6952"});
  obstetric("74-hp-null", "J189", kNull, "3", {"7410"});
  discharge("74-no-obstet", "J189", "J189").procedimientos({{"promed", "7499"}});
  run(100, 106);  // the group that shares its work tables
  EXPECT_EQ(listed(100), (Folios{"O80-3"}));
  EXPECT_EQ(listed(101), (Folios{"O82-1"}));
  EXPECT_EQ(listed(102), (Folios{"74-no-obstet", "O80-two74", "O80-two74"}));
  EXPECT_EQ(listed(103), (Folios{"tn3-no74"}));
  EXPECT_EQ(listed(104), (Folios{"O80-3", "O80-two74", "O80-two74"}));
  EXPECT_EQ(listed(105), (Folios{"O81-afecprin", "O82-afecprin"}));
  EXPECT_EQ(listed(106), (Folios{"74-no-obstet"}));
}

TEST_F(ObstetricRules, MethodSixAgainstZ308And9923) {
  auto method = [&](const std::string& folio, const base::Value& diag_ini,
                    const base::Value& afecprin, const std::vector<std::string>& afec,
                    bool injection, const base::Value& planfam) {
    db.egreso({{"folio", folio}, {"diag_ini", diag_ini}, {"afecprin", afecprin}});
    for (const std::string& a : afec) db.afecciones({{"afec", a}});
    if (injection) db.procedimientos({{"promed", "9923"}});
    db.obstet({{"planfam", planfam}});
  };
  method("pf6-ok", "O800", "O800", {"Z308"}, true, "6");
  method("pf6-none", "O800", "O800", {"Z301"}, false, "6");
  method("pf6-diag-ini", "Z308", kNull, {}, true, "6");
  method("pf6-Z3080", "Z30", "O800", {"Z3080"}, true, "6");
  method("pf4-both", "O800", "O800", {"Z308", "Z370"}, true, "4");
  method("pf-null-9923", "O800", "O800", {}, true, kNull);
  db.egreso({{"folio", "hp2-Z308"}, {"afecprin", "Z308"}})
      .obstet({{"hayprod", 2}, {"planfam", ""}});
  run(109, 111);  // the group that shares its work tables
  EXPECT_EQ(listed(109), (Folios{"pf6-Z3080", "pf6-diag-ini", "pf6-none"}));
  EXPECT_EQ(listed(110), (Folios{"pf6-none"}));
  EXPECT_EQ(listed(111), (Folios{"pf4-both"}));
}

TEST_F(ObstetricRules, NotifiableCodesAndCertificates) {
  db.insert("CATCIE10", {{"CAUSA", "B050"}, {"nin", " T"}});
  db.insert("CATCIE10", {{"CAUSA", "A000"}, {"NotDiaria", "T "}, {"SistemaEspecial", "t"}});
  db.insert("CATCIE10", {{"CAUSA", "J189"}, {"NotDiaria", "F"}, {"nin", ""}});
  for (const char* c : {"230000001", "ab1"}) db.insert("Folio", {{"certificado", c}});
  discharge("immediate", "J189", "B050");
  discharge("not-in-catalogue", "J189", "B051");
  discharge("one-certif", "J189", "J189").defunc({{"certif", "D1"}, {"causabas", "A000"}});
  db.defunc({{"certif", "D1"}}).defunc({{"certif", "d1"}});
  discharge("null-certif", "J189", "J189").defunc({{"certif", kNull}}).defunc({{"certif", kNull}});
  discharge("issued", "J189", "J189").defunc({{"certif", "230000001"}});
  db.defunc({{"folio", "case"}, {"certif", "AB1"}});
  run(107, 107);
  EXPECT_EQ(db.rows("Validacion107"),
            (Rows{{"09", "immediate", kClues, kEgreso, "B050", "No", "No", "Si", "No"}}));
  // The headings keep their blank and accent in the sheet, in the stated order.
  std::string sheets;
  ASSERT_EQ(test::runCommand("/usr/bin/python3 '" +
                                 (test::sourceDir() / "tests/xls/read_xls.py").string() + "' '" +
                                 (dir / "Val.xls").string() + "'",
                             sheets),
            0);
  EXPECT_NE(sheets.find("sheet\tValidacion107\nrow\ttext:cedocve\ttext:folio\ttext:clues\t"
                        "text:egreso\ttext:afecprin\ttext:Notificación Diaria\ttext:Notificación "
                        "Semanal\ttext:Notificación Inmediata\ttext:Sistema Especial\n"),
            std::string::npos)
      << sheets;
  run(108, 108);
  EXPECT_EQ(db.rows("Validacion108"),
            (Rows{{"one-certif", kClues, kEgreso, "A000", "Si", "No", "No", "Si"}}));
  EXPECT_EQ(listedAlone(112), (Folios{"one-certif", "one-certif", "one-certif"}));
  EXPECT_EQ(listedAlone(113),
            (Folios{"null-certif", "null-certif", "one-certif", "one-certif", "one-certif"}));
}

}  // namespace
}  // namespace kolt::rules
