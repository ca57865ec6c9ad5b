#include "schema/tables.h"

#include "base/date_text.h"
#include "base/names.h"

namespace kolt::schema {
namespace {

constexpr std::string_view T = kTextType;
constexpr std::string_view I = kIntegerType;
constexpr std::string_view D = base::kDateType;

std::vector<Table> makeTables() {
  using R = TableRole;
  return {
      {"EGRESO",
       R::Record,
       {{"cedocve", T},    {"folio", T},         {"clues", T},         {"egreso", D},
        {"cveedad", T},    {"edad", I},          {"nacioen", T},       {"sexo", T},
        {"derhab", T},     {"spss", T},          {"spss_dv", T},       {"entidad", T},
        {"munic", T},      {"loc", T},           {"expediente", T},    {"CURP", T},
        {"tipserv", T},    {"dias_esta", I},     {"servicioingre", T}, {"servicio02", T},
        {"servicio03", T}, {"servicioegre", T},  {"proced", T},        {"cluesproced", T},
        {"motegre", T},    {"cluesreferido", T}, {"causaext", T},      {"traumat", T},
        {"lugar", T},      {"vez", T},           {"infec", T},         {"sa_labor", T},
        {"sa_expul", T},   {"diag_ini", T},      {"afecprin", T}}},
      {"OBSTET",
       R::Record,
       {{"folio", T},
        {"clues", T},
        {"egreso", D},
        {"hayprod", I},
        {"tipaten", T},
        {"producto", T},
        {"tipnaci", T},
        {"planfam", T},
        {"gestac", T}}},
      {"PRODUCTOS",
       R::Record,
       {{"folio", T},
        {"clues", T},
        {"egreso", D},
        {"numproducto", T},
        {"pesoprod", T},
        {"sexprod", T},
        {"condnac", T},
        {"condegre", T},
        {"naviapag", T},
        {"navirean", T},
        {"navicune", T}}},
      {"DEFUNC",
       R::Record,
       {{"folio", T}, {"clues", T}, {"egreso", D}, {"certif", T}, {"causabas", T}}},
      {"AFECCIONES", R::Record, {{"folio", T}, {"clues", T}, {"egreso", D}, {"afec", T}}},
      {"PROCEDIMIENTOS", R::Record, {{"folio", T}, {"clues", T}, {"egreso", D}, {"promed", T}}},
      {"CATCLUES", R::UnitCatalogue, {{"CLUES", T}, {"DESCUNIDAD", T}}},
      {"CATCIE10",
       R::ReferenceCatalogue,
       {{"CAUSA", T},
        {"NOMBRE", T},
        {"lsex", T},
        {"linf", T},
        {"lsup", T},
        {"no_aph", T},
        {"no_cbd", T},
        {"errad", T},
        {"actualizac", T},
        {"NotDiaria", T},
        {"NotSemanal", T},
        {"nin", T},
        {"SistemaEspecial", T}}},
      {"CATCIE9MC",
       R::ReferenceCatalogue,
       {{"CVE_PROC", T},
        {"DESCRIP", T},
        {"sexo", T},
        {"cve_edi", T},
        {"cve_edf", T},
        {"edad_i", I},
        {"edad_f", I}}},
      {"CATLOCAL", R::ReferenceCatalogue, {{"edo", T}, {"mpo", T}, {"Loc", T}, {"descrip", T}}},
      {"CATSERVICIOS", R::ReferenceCatalogue, {{"CLAVE", T}}},
      {"catValidaciones", R::ReferenceCatalogue, {{"Validacion", I}, {"Descripcion", T}}},
      {"Folio", R::CertificateLink, {{"certificado", T}}},
      {"CLUESSEL", R::SourceAddition, {{"CLUES", T}}},
      // Fixed-width texts, as the run driver creates the table.
      {"RESULTADOSVALIDACION",
       R::SourceAddition,
       {{"Unidad", "CHAR(11)"}, {"PERIODO", "CHAR(50)"}, {"RESULTADO", "CHAR(100)"}}},
  };
}

}  // namespace

const Column* Table::column(std::string_view wanted) const {
  for (const Column& c : columns)
    if (base::sameName(c.name, wanted)) return &c;
  return nullptr;
}

const std::vector<Table>& allTables() {
  static const std::vector<Table> tables = makeTables();
  return tables;
}

std::vector<const Table*> workingTables() {
  std::vector<const Table*> result;
  for (const Table& t : allTables())
    if (t.role != TableRole::SourceAddition) result.push_back(&t);
  return result;
}

const Table* findTable(std::string_view name) {
  for (const Table& t : allTables())
    if (base::sameName(t.name, name)) return &t;
  return nullptr;
}

std::string createTableStatement(const Table& table, const std::vector<std::string_view>& omitted) {
  std::string text = "CREATE TABLE ";
  text += table.name;
  text += " (";
  bool first = true;
  for (const Column& c : table.columns) {
    bool skip = false;
    for (std::string_view o : omitted) skip = skip || base::sameName(o, c.name);
    if (skip) continue;
    if (!first) text += ", ";
    first = false;
    text += c.name;
    text += ' ';
    text += c.type;
  }
  text += ")";
  return text;
}

}  // namespace kolt::schema
