// Generates a synthetic discharge database (engine database) for demonstrations, tests by hand and
// benchmarks: N discharges over U units of one year, with realistic obstetric events and their
// products, deaths with certificates, further conditions and procedures, all consistent with the
// demo catalogue in catalog/, and a chosen share of deliberate errors of every kind the rules look
// for. The same seed gives the same database.
//
//   kolt-generar SALIDA.db [--egresos N] [--unidades U] [--errores FRACCION] [--semilla S]
//                          [--anio AAAA] [--limpias K]
//
// The first K units (1 unless told) get no deliberate error, so a run shows clean units too.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "access/bulk_loader.h"
#include "base/error.h"
#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "help_option.h"
#include "loaded_database.h"
#include "mistakes.h"
#include "schema/tables.h"
#include "spilled_rows.h"

namespace {

namespace fs = std::filesystem;
using kolt::base::Value;
using kolt::tools::digits;
using kolt::tools::Discharge;
using kolt::tools::Mistake;
using kolt::tools::Random;
using kolt::tools::Row;

// Codes of the demo catalogue a clean record may carry.
const std::vector<std::string> kAdultDiagnoses = {
    "J189", "J441", "I219", "I500", "I639", "K359", "K802", "K810", "K409", "E119", "E112",
    "N390", "N179", "A419", "L039", "I10X", "K746", "S720", "S525", "M179", "C349", "C189"};
const std::vector<std::string> kFurtherConditions = {"I10X", "E119", "E669", "D649",
                                                     "N189", "J449", "F329", "E039"};
const std::vector<std::string> kDeathCauses = {"I219", "J189", "I639", "A419", "K746", "C349"};
const std::vector<std::string> kAdultProcedures = {"4709", "5123", "5300", "7935",
                                                   "8703", "9904", "3893", "8659"};
const std::vector<std::string> kAdultServices = {"10", "11", "12", "20", "21", "22", "60", "70"};
const std::vector<std::array<const char*, 3>> kLocalities = {
    {"09", "002", "0001"}, {"09", "007", "0001"}, {"15", "058", "0001"}, {"15", "106", "0001"},
    {"14", "039", "0001"}, {"19", "039", "0001"}, {"21", "114", "0001"}, {"09", "015", "0001"}};

class Generator {
 public:
  Generator(int units, int cleanUnits, double errorShare, std::uint64_t seed, int year)
      : random_(seed), cleanUnits_(cleanUnits), errorShare_(errorShare), year_(year) {
    for (int u = 0; u < units; ++u)
      units_.push_back("DFSSA" + digits(static_cast<std::uint64_t>(u + 1) * 17, 6));
  }

  const std::vector<std::string>& units() const { return units_; }

  Discharge discharge(int index) {
    Discharge d;
    const std::string& clues = units_[static_cast<std::size_t>(index) % units_.size()];
    const int day = random_.below(365);
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d 00:00:00", year_, monthOf(day), dayOf(day));
    const auto& place =
        kLocalities[static_cast<std::size_t>(random_.below(static_cast<int>(kLocalities.size())))];
    d.egreso = {
        {"cedocve", "09"},
        {"folio", digits(static_cast<std::uint64_t>(index) + 1, 8)},
        {"clues", clues},
        {"egreso", std::string(date)},
        {"cveedad", "3"},
        {"nacioen", "9"},
        {"derhab", std::string(1, "0123456P"[random_.below(8)])},
        {"entidad", place[0]},
        {"munic", place[1]},
        {"loc", place[2]},
        // Digits only, as a unit's file numbers are; a number with letters is a deliberate error.
        {"expediente", std::to_string(10000000 + random_.below(999999))},
        {"tipserv", "1"},
        {"dias_esta", static_cast<std::int64_t>(random_.between(1, 5))},
        {"proced", "1"},
        {"motegre", "1"},
        {"vez", random_.chance(0.7) ? "1" : "2"},
        {"infec", "2"}};
    if (random_.chance(0.5))
      d.egreso["CURP"] = "GOML800101MDFRRS0" + std::to_string(random_.below(10));

    const int kind = random_.below(100);
    if (kind < 18)
      obstetric(d, false);
    else if (kind < 21)
      obstetric(d, true);
    else if (kind < 26)
      newborn(d);
    else if (kind < 34)
      pediatric(d);
    else
      adult(d);

    const bool clean =
        static_cast<std::size_t>(index) % units_.size() < static_cast<std::size_t>(cleanUnits_);
    if (!clean && (pending_ != nullptr || random_.chance(errorShare_))) {
      if (pending_ == nullptr) pending_ = &mistakes_[nextMistake_++ % mistakes_.size()];
      if (pending_->apply(d, random_)) pending_ = nullptr;
    }
    return d;
  }

  // Units in CATCLUES beyond those with discharges: referral targets.
  std::vector<Row> unitCatalogue() const {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < units_.size(); ++i)
      rows.push_back(
          {{"CLUES", units_[i]}, {"DESCUNIDAD", "HOSPITAL GENERAL " + std::to_string(i + 1)}});
    rows.push_back({{"CLUES", "DFSSA009999"}, {"DESCUNIDAD", "HOSPITAL DE REFERENCIA"}});
    return rows;
  }

 private:
  static int monthOf(int dayOfYear) {
    static const int starts[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    int m = 0;
    while (dayOfYear >= starts[m + 1]) ++m;
    return m + 1;
  }
  static int dayOf(int dayOfYear) {
    static const int starts[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    return dayOfYear - starts[monthOf(dayOfYear) - 1] + 1;
  }

  void diagnose(Discharge& d, const std::string& code) {
    d.egreso["diag_ini"] = code;
    d.egreso["afecprin"] = code;
  }

  void adult(Discharge& d) {
    const bool man = random_.chance(0.45);
    d.egreso["sexo"] = man ? "1" : "2";
    d.egreso["edad"] = static_cast<std::int64_t>(random_.between(19, 92));
    const std::string service = random_.pick(kAdultServices);
    d.egreso["servicioingre"] = random_.chance(0.3) ? std::string("70") : service;
    d.egreso["servicioegre"] = service;
    diagnose(d, random_.pick(kAdultDiagnoses));
    if (d.egreso["afecprin"] == Value(std::string("S720")) ||
        d.egreso["afecprin"] == Value(std::string("S525"))) {
      d.egreso["causaext"] = std::string("W019");
      d.egreso["traumat"] = "1";
      d.egreso["lugar"] = "0";
    }
    for (int n = random_.below(3); n > 0; --n) {
      // A further condition is never the principal one again: that is a deliberate error. The
      // next of the list takes its place, so the draws, and the rest of the data, stay the same.
      const std::size_t drawn =
          static_cast<std::size_t>(random_.below(static_cast<int>(kFurtherConditions.size())));
      std::string code = kFurtherConditions[drawn];
      if (d.text("afecprin") == code)
        code = kFurtherConditions[(drawn + 1) % kFurtherConditions.size()];
      d.afecciones.push_back(d.keyed({{"afec", code}}));
    }
    if (random_.chance(0.25))
      d.procedimientos.push_back(d.keyed({{"promed", random_.pick(kAdultProcedures)}}));
    if (random_.chance(0.04)) {
      d.egreso["motegre"] = "5";
      diagnose(d, random_.pick(kDeathCauses));
      d.egreso.erase("causaext");
      d.defunc.push_back(d.keyed({{"certif", "23" + digits(nextCertificate_++, 7)},
                                  {"causabas", d.egreso.at("afecprin")}}));
    } else if (random_.chance(0.03)) {
      d.egreso["motegre"] = "4";
      d.egreso["cluesreferido"] = "DFSSA009999";
    }
  }

  void pediatric(Discharge& d) {
    d.egreso["sexo"] = random_.chance(0.5) ? "1" : "2";
    d.egreso["edad"] = static_cast<std::int64_t>(random_.between(1, 17));
    d.egreso["servicioegre"] = random_.chance(0.7) ? "40" : "42";
    d.egreso["servicioingre"] = d.egreso["servicioegre"];
    diagnose(d, random_.pick(std::vector<std::string>{"J189", "K359", "J069", "J459", "S525"}));
    if (d.egreso["afecprin"] == Value(std::string("S525"))) {
      d.egreso["causaext"] = std::string("W109");
      d.egreso["traumat"] = "1";
      d.egreso["lugar"] = "0";
    }
    if (d.egreso["afecprin"] == Value(std::string("K359")))
      d.procedimientos.push_back(d.keyed({{"promed", "4709"}}));
  }

  void newborn(Discharge& d) {
    d.egreso["sexo"] = random_.chance(0.5) ? "1" : "2";
    d.egreso["cveedad"] = "1";
    d.egreso["edad"] = static_cast<std::int64_t>(random_.between(1, 20));
    d.egreso["nacioen"] = "1";
    d.egreso["servicioingre"] = "41";
    d.egreso["servicioegre"] = "41";
    diagnose(d, random_.pick(std::vector<std::string>{"P599", "P220", "P221", "P073"}));
    if (random_.chance(0.3)) d.procedimientos.push_back(d.keyed({{"promed", "9983"}}));
  }

  // A delivery or an abortion of a woman of 15 to 44, with its obstetric event and products.
  void obstetric(Discharge& d, bool abortion) {
    d.egreso["sexo"] = "2";
    d.egreso["edad"] = static_cast<std::int64_t>(random_.between(15, 44));
    d.egreso["servicioingre"] = "31";
    d.egreso["servicioegre"] = abortion ? "30" : "32";
    d.egreso["dias_esta"] = static_cast<std::int64_t>(random_.between(1, 3));
    Row event = d.keyed({{"hayprod", std::int64_t{1}}, {"producto", "1"}, {"planfam", "5"}});
    Row product = d.keyed({{"numproducto", "1"},
                           {"sexprod", random_.chance(0.5) ? "1" : "2"},
                           {"condnac", "1"},
                           {"condegre", "3"}});
    if (abortion) {
      diagnose(d, random_.pick(std::vector<std::string>{"O034", "O039", "O064", "O021"}));
      event["tipaten"] = "1";
      event["gestac"] = digits(static_cast<std::uint64_t>(random_.between(8, 20)), 2);
      product["pesoprod"] = digits(static_cast<std::uint64_t>(random_.between(20, 480)), 4);
      d.procedimientos.push_back(d.keyed({{"promed", "6952"}}));
    } else {
      const bool cesarean = random_.chance(0.35);
      diagnose(d, cesarean ? "O821" : "O800");
      // A caesarean's main condition is its reason (a main condition of O81 to O84 rules one out).
      if (cesarean) d.egreso["afecprin"] = "O342";
      event["tipaten"] = "2";
      event["tipnaci"] = cesarean ? "3" : "1";
      event["gestac"] = digits(static_cast<std::uint64_t>(random_.between(36, 41)), 2);
      product["pesoprod"] = digits(static_cast<std::uint64_t>(random_.between(2300, 4200)), 4);
      if (cesarean) d.procedimientos.push_back(d.keyed({{"promed", "7410"}}));
      d.afecciones.push_back(d.keyed({{"afec", "Z370"}}));
      // A family-planning method, recorded consistently in all three places.
      const int method = random_.below(10);
      if (method == 0) {
        event["planfam"] = "1";
        d.afecciones.push_back(d.keyed({{"afec", "Z301"}}));
        d.procedimientos.push_back(d.keyed({{"promed", "697X"}}));
      } else if (method == 1) {
        event["planfam"] = "6";
        d.afecciones.push_back(d.keyed({{"afec", "Z308"}}));
        d.procedimientos.push_back(d.keyed({{"promed", "9923"}}));
      }
    }
    d.obstet.push_back(event);
    d.productos.push_back(product);
  }

  Random random_;
  int cleanUnits_;
  double errorShare_;
  int year_;
  std::vector<std::string> units_;
  std::uint64_t nextCertificate_ = 1;
  // Kinds are taken in turn, not at random, so that as many errors as there are kinds make every
  // kind at least once, whatever the seed.
  const std::vector<Mistake> mistakes_ = kolt::tools::allMistakes();
  std::size_t nextMistake_ = 0;
  // A deliberate error drawn for a discharge it did not fit: it goes to the next one that fits.
  const Mistake* pending_ = nullptr;
};

std::vector<kolt::access::SourceColumn> columnsOf(const kolt::schema::Table& table) {
  std::vector<kolt::access::SourceColumn> columns;
  for (const auto& c : table.columns) columns.push_back({std::string(c.name), std::string(c.type)});
  return columns;
}

// `row`'s values in the order of the table's columns, NULL for a column it does not have.
const std::vector<Value>& valuesOf(const kolt::schema::Table& table, const Row& row,
                                   std::vector<Value>& values) {
  values.clear();
  for (const auto& c : table.columns) {
    auto it = row.find(std::string(c.name));
    values.push_back(it == row.end() ? Value{} : it->second);
  }
  return values;
}

// A table of a discharge's child rows, which wait on disk while EGRESO is written.
struct ChildTable {
  const char* name;
  std::vector<Row> Discharge::*rows;
  const kolt::schema::Table& table;
  kolt::tools::SpilledRows spilled;
};

constexpr const char* kUsage =
    "Uso: kolt-generar SALIDA.db|SALIDA.mdb [--egresos N] [--unidades U] [--errores FRACCION]\n"
    "                  [--semilla S] [--anio AAAA] [--limpias K]\n";

int usage() {
  std::fprintf(stderr, "%skolt-generar --help para la ayuda\n", kUsage);
  return 2;
}

// The writer picks the format by the name: anything else would be written as an engine database
// under a name that promises another kind of file.
bool knownOutputName(const fs::path& output) {
  const std::string extension = output.extension().string();
  return extension == ".db" || extension == ".mdb";
}

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv))
    return kolt::tools::printHelp(
        (std::string(kUsage) +
         "Genera una base de egresos sintética: de Access 2000-2003 si SALIDA termina en .mdb,\n"
         "del programa si termina en .db.\n"
         "\n"
         "  --egresos N         egresos en total (por omisión 5000)\n"
         "  --unidades U        unidades médicas (por omisión 6)\n"
         "  --errores FRACCION  parte de los egresos con errores deliberados, de 0 a 1 (0.05)\n"
         "  --semilla S         la misma semilla da la misma base (1)\n"
         "  --anio AAAA         año de los egresos (2023)\n"
         "  --limpias K         las primeras K unidades quedan sin errores (1)\n")
            .c_str());
  if (argc < 2) return usage();
  const fs::path output = kolt::platform::pathFromUtf8(argv[1]);
  if (!knownOutputName(output)) {
    std::fprintf(stderr, "kolt-generar: %s no termina en .db ni en .mdb.\n",
                 kolt::platform::utf8(output).c_str());
    return 2;
  }
  long discharges = 5000, units = 6, seed = 1, year = 2023, clean = 1;
  double errors = 0.05;
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) return usage();
    const std::string option = argv[i];
    char* end = nullptr;
    const char* value = argv[i + 1];
    if (option == "--egresos")
      discharges = std::strtol(value, &end, 10);
    else if (option == "--unidades")
      units = std::strtol(value, &end, 10);
    else if (option == "--semilla")
      seed = std::strtol(value, &end, 10);
    else if (option == "--anio")
      year = std::strtol(value, &end, 10);
    else if (option == "--limpias")
      clean = std::strtol(value, &end, 10);
    else if (option == "--errores")
      errors = std::strtod(value, &end);
    else
      return usage();
    if (end == value || *end != '\0') return usage();
  }
  // The generator numbers discharges and units with an int: past its range they would repeat.
  constexpr long kMost = std::numeric_limits<int>::max();
  if (discharges < 1 || units < 1 || clean < 0 || errors < 0 || errors > 1 || discharges > kMost ||
      units > kMost || clean > kMost)
    return usage();

  Generator generator(static_cast<int>(units), static_cast<int>(clean), errors,
                      static_cast<std::uint64_t>(seed), static_cast<int>(year));
  // One discharge at a time: EGRESO is written as they are made, their child rows spilled and
  // written after it, table by table, so memory does not grow with the number of discharges.
  const int status = kolt::tools::writeDatabase(output, "kolt-generar", [&](auto& loader) {
    const auto table = [](const char* name) -> const kolt::schema::Table& {
      return *kolt::schema::findTable(name);
    };
    ChildTable children[] = {
        {"OBSTET", &Discharge::obstet, table("OBSTET"), kolt::tools::SpilledRows(output)},
        {"PRODUCTOS", &Discharge::productos, table("PRODUCTOS"), kolt::tools::SpilledRows(output)},
        {"DEFUNC", &Discharge::defunc, table("DEFUNC"), kolt::tools::SpilledRows(output)},
        {"AFECCIONES", &Discharge::afecciones, table("AFECCIONES"),
         kolt::tools::SpilledRows(output)},
        {"PROCEDIMIENTOS", &Discharge::procedimientos, table("PROCEDIMIENTOS"),
         kolt::tools::SpilledRows(output)}};
    std::vector<Value> values;
    const auto& egreso = table("EGRESO");
    loader.beginTable("EGRESO", columnsOf(egreso));
    for (long i = 0; i < discharges; ++i) {
      const Discharge d = generator.discharge(static_cast<int>(i));
      loader.insert(valuesOf(egreso, d.egreso, values));
      for (auto& child : children)
        for (const Row& row : d.*child.rows) child.spilled.add(valuesOf(child.table, row, values));
    }
    for (auto& child : children) {
      loader.beginTable(child.name, columnsOf(child.table));
      child.spilled.replay([&](const std::vector<Value>& row) { loader.insert(row); });
    }
    const auto& catclues = table("CATCLUES");
    loader.beginTable("CATCLUES", columnsOf(catclues));
    for (const auto& row : generator.unitCatalogue())
      loader.insert(valuesOf(catclues, row, values));
  });
  if (status != 0) return status;
  std::printf("%s: %ld egresos en %ld unidades\n", kolt::platform::utf8(output).c_str(), discharges,
              units);
  return 0;
}
