#include "support/working_db.h"

#include <algorithm>
#include <stdexcept>
#include <variant>

#include "base/names.h"
#include "base/quoting.h"
#include "schema/tables.h"

namespace kolt::test {
namespace {

using base::sameName;

const base::Value* find(const Cells& cells, std::string_view column) {
  for (const auto& [name, value] : cells)
    if (sameName(name, column)) return &value;
  return nullptr;
}

std::string literal(const base::Value& value) {
  if (base::isNull(value)) return "NULL";
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (const auto* s = std::get_if<std::string>(&value)) return "'" + base::doubledQuotes(*s) + "'";
  throw std::invalid_argument("working_db: only NULL, whole numbers and text can be inserted");
}

// A discharge under which every rule 1 to 26 stays silent, given the baseline catalogues.
const Cells& dischargeDefaults() {
  static const Cells defaults = {
      {"cedocve", "09"},
      {"clues", std::string(kClues)},
      {"egreso", std::string(kEgreso)},
      {"cveedad", "3"},
      {"edad", 30},
      {"nacioen", "9"},
      {"sexo", "2"},
      {"derhab", "1"},
      {"entidad", "09"},
      {"munic", "002"},
      {"loc", "0001"},
      {"expediente", "EXP-1234"},
      {"tipserv", "1"},
      {"dias_esta", 3},
      {"servicioingre", "10"},
      {"servicioegre", "10"},
      {"proced", "1"},
      {"motegre", "1"},
      {"vez", "1"},
      {"infec", "2"},
      {"diag_ini", "J189"},
      {"afecprin", "J189"},
  };
  return defaults;
}

}  // namespace

std::string text(const base::Value& value) {
  if (base::isNull(value)) return "NULL";
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (const auto* d = std::get_if<double>(&value)) return std::to_string(*d);
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return "(blob)";
}

WorkingDb::WorkingDb(std::filesystem::path file) : WorkingDb(std::move(file), Options{}) {}

WorkingDb::WorkingDb(std::filesystem::path file, const Options& options) : options_(options) {
  engine::Connection::createDatabase(file);
  cnn_.open(file);
  for (const schema::Table* table : schema::workingTables()) {
    std::vector<std::string_view> omitted;
    for (const auto& [t, c] : options_.omitColumns)
      if (sameName(t, table->name)) omitted.push_back(c);
    cnn_.execute(schema::createTableStatement(*table, omitted));
  }
  insert("CATLOCAL", {{"edo", "09"}, {"mpo", "002"}, {"Loc", "0001"}, {"descrip", "AZCAPOTZALCO"}});
  for (const char* clave : {"10", "20", "30", "40"}) insert("CATSERVICIOS", {{"CLAVE", clave}});
  insert("CATCLUES", {{"CLUES", std::string(kClues)}, {"DESCUNIDAD", "HOSPITAL GENERAL"}});
  insert("CATCIE10", {{"CAUSA", "J189"}, {"NOMBRE", "Neumonía, no especificada"}});
}

WorkingDb& WorkingDb::add(std::string_view tableName, const Cells& defaults, const Cells& cells) {
  const schema::Table* table = schema::findTable(tableName);
  if (table == nullptr)
    throw std::invalid_argument("working_db: no table " + std::string(tableName));
  for (const auto& [name, value] : cells)
    if (table->column(name) == nullptr)
      throw std::invalid_argument("working_db: no column " + std::string(name) + " in " +
                                  std::string(tableName));
  // The whole row in the table's column order: no column list is needed in the statement.
  std::string values;
  for (const schema::Column& column : table->columns) {
    bool omitted = false;
    for (const auto& [t, c] : options_.omitColumns)
      omitted = omitted || (sameName(t, table->name) && sameName(c, column.name));
    if (omitted) continue;
    const base::Value* value = find(cells, column.name);
    if (value == nullptr) value = find(defaults, column.name);
    if (!values.empty()) values += ", ";
    values += value ? literal(*value) : "NULL";
  }
  cnn_.execute("INSERT INTO " + std::string(table->name) + " SELECT " + values);
  return *this;
}

WorkingDb& WorkingDb::insert(std::string_view table, const Cells& cells) {
  return add(table, {}, cells);
}

WorkingDb& WorkingDb::egreso(const Cells& cells) {
  Cells defaults = dischargeDefaults();
  defaults.emplace_back("folio", std::to_string(nextFolio_++));
  lastKey_.clear();
  for (std::string_view key : {"folio", "clues", "egreso"}) {
    const base::Value* value = find(cells, key);
    lastKey_.emplace_back(key, value ? *value : *find(defaults, key));
  }
  return add("EGRESO", defaults, cells);
}

// A child row: the last discharge's key, then the table's own defaults.
WorkingDb& WorkingDb::child(std::string_view table, Cells defaults, const Cells& cells) {
  defaults.insert(defaults.begin(), lastKey_.begin(), lastKey_.end());
  return add(table, defaults, cells);
}

WorkingDb& WorkingDb::obstet(const Cells& cells) {
  return child("OBSTET",
               {{"hayprod", 1},
                {"tipaten", "2"},
                {"producto", "1"},
                {"tipnaci", "1"},
                {"planfam", "4"},
                {"gestac", "39"}},
               cells);
}

WorkingDb& WorkingDb::productos(const Cells& cells) {
  return child("PRODUCTOS",
               {{"numproducto", "1"},
                {"pesoprod", "3200"},
                {"sexprod", "1"},
                {"condnac", "1"},
                {"condegre", "3"}},
               cells);
}

WorkingDb& WorkingDb::defunc(const Cells& cells) {
  return child("DEFUNC", {{"certif", "230000001"}, {"causabas", "I219"}}, cells);
}

WorkingDb& WorkingDb::afecciones(const Cells& cells) {
  return child("AFECCIONES", {{"afec", "E119"}}, cells);
}

WorkingDb& WorkingDb::procedimientos(const Cells& cells) {
  return child("PROCEDIMIENTOS", {{"promed", "8901"}}, cells);
}

bool WorkingDb::hasTable(std::string_view table) {
  for (const std::string& name : tableNames())
    if (sameName(name, table)) return true;
  return false;
}

std::vector<std::string> WorkingDb::tableNames() {
  std::vector<std::string> names;
  const engine::Recordset rs =
      cnn_.openRecordset("SELECT name FROM sqlite_master WHERE type='table'");
  for (const auto& row : rs.rows()) names.push_back(text(row[0]));
  std::sort(names.begin(), names.end());  // byte order: the engine's would ignore case
  return names;
}

std::vector<std::string> WorkingDb::columns(std::string_view table) {
  std::vector<std::string> names;
  const engine::Recordset rs = cnn_.openRecordset("select * from " + std::string(table));
  for (const engine::ColumnInfo& c : rs.columns()) names.push_back(c.name);
  return names;
}

std::vector<std::vector<std::string>> WorkingDb::rows(std::string_view table) {
  std::vector<std::vector<std::string>> result;
  const engine::Recordset rs = cnn_.openRecordset("select * from " + std::string(table));
  for (const auto& row : rs.rows()) {
    auto& out = result.emplace_back();
    for (const base::Value& v : row) out.push_back(text(v));
  }
  return result;
}

std::vector<std::string> WorkingDb::column(std::string_view table, std::string_view name) {
  const std::vector<std::string> names = columns(table);
  const auto at = std::find_if(names.begin(), names.end(),
                               [&](const std::string& n) { return sameName(n, name); });
  if (at == names.end()) throw std::invalid_argument("working_db: no column " + std::string(name));
  std::vector<std::string> values;
  for (const auto& row : rows(table)) values.push_back(row[at - names.begin()]);
  return values;
}

void twoUnitSource(const std::filesystem::path& file, const WorkingDb::Options& options) {
  const std::string other(kOtherUnit);
  WorkingDb source(file, options);
  source.egreso();
  source.egreso({{"clues", other}, {"egreso", "2023-03-14 00:00:00"}, {"edad", 131}});
  source.egreso({{"clues", other}, {"egreso", "2023-03-16 00:00:00"}});
  source.insert("CATCLUES", {{"CLUES", other}, {"DESCUNIDAD", "CLINICA NORTE"}});
}

void manyUnitSource(const std::filesystem::path& file, int count, int perUnit) {
  WorkingDb source(file);
  for (int u = 1; u <= count; ++u) {
    const std::string digits = std::to_string(u);
    const std::string code = "DFSSA" + std::string(6 - digits.size(), '0') + digits;
    for (int d = 0; d < perUnit; ++d) source.egreso({{"clues", code}, {"edad", 131}});
    if (code != kClues) source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
  }
}

void ruleCatalogue(const std::filesystem::path& file) {
  WorkingDb(file).insert("catValidaciones",
                         {{"Validacion", 1}, {"Descripcion", "Edad fuera de rango"}});
}

}  // namespace kolt::test
