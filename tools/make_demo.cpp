// Makes a small demonstration: a discharge database of three units and the catalogue database the
// program reads beside its executables.
//
//   kolt-demo-datos CARPETA_DEL_PROGRAMA ORIGEN
//
// Unit DFSSA000001 is clean; DFSSA000002 and DFSSA000003 carry a few deliberate errors.
#include <cstdio>
#include <filesystem>
#include <string>

#include "db/connection.h"
#include "db/quoting.h"
#include "rules/catalogue.h"
#include "schema/tables.h"

namespace {

namespace fs = std::filesystem;
using kolt::db::Connection;
using kolt::schema::TableRole;

void createTables(Connection& cnn, bool source) {
  for (const auto& table : kolt::schema::allTables()) {
    const bool wanted =
        source ? (table.role == TableRole::Record || table.role == TableRole::UnitCatalogue)
               : (table.role == TableRole::ReferenceCatalogue ||
                  table.role == TableRole::CertificateLink);
    if (wanted) cnn.execute(kolt::schema::createTableStatement(table));
  }
}

// One discharge with the columns of a clean record but for the ones given.
void discharge(Connection& cnn, const std::string& clues, int folio, const std::string& day,
               const std::string& cveedad, int edad, const std::string& sexo,
               const std::string& afecprin) {
  cnn.execute(
      "INSERT INTO EGRESO(cedocve, folio, clues, egreso, cveedad, edad, nacioen, sexo, derhab, "
      "entidad, munic, loc, expediente, tipserv, dias_esta, servicioingre, servicioegre, proced, "
      "motegre, vez, infec, diag_ini, afecprin) VALUES ('09','" +
      std::to_string(folio) + "','" + clues + "','" + day + "','" + cveedad + "'," +
      std::to_string(edad) + ",'9','" + sexo + "','1','09','002','0001','EXP-" +
      std::to_string(folio) + "','1',3,'10','10','1','1','1','2','" + afecprin + "','" + afecprin +
      "')");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Uso: kolt-demo-datos CARPETA_DEL_PROGRAMA ORIGEN\n");
    return 2;
  }
  const fs::path app = argv[1], origen = argv[2];
  try {
    fs::create_directories(app);
    if (!origen.parent_path().empty()) fs::create_directories(origen.parent_path());
    fs::remove(app / "ValidacionesKOLT.db");
    fs::remove(origen);

    Connection::createDatabase(app / "ValidacionesKOLT.db");
    Connection catalogue;
    catalogue.open(app / "ValidacionesKOLT.db");
    createTables(catalogue, false);
    catalogue.execute(
        "INSERT INTO CATLOCAL(edo, mpo, Loc, descrip) VALUES ('09','002','0001',"
        "'AZCAPOTZALCO')");
    catalogue.execute("INSERT INTO CATSERVICIOS(CLAVE) VALUES ('10')");
    catalogue.execute("INSERT INTO CATCIE10(CAUSA, NOMBRE) VALUES ('J189','NEUMONIA')");
    for (const auto* rule : kolt::rules::ruleCatalogue().fixedRules)
      catalogue.execute("INSERT INTO catValidaciones(Validacion, Descripcion) VALUES (" +
                        std::to_string(rule->number) + ",'" +
                        kolt::db::doubledQuotes(rule->description) + "')");

    Connection::createDatabase(origen);
    Connection source;
    source.open(origen);
    createTables(source, true);
    const char* units[][2] = {{"DFSSA000001", "HOSPITAL GENERAL CENTRO"},
                              {"DFSSA000002", "HOSPITAL MATERNO INFANTIL NORTE"},
                              {"DFSSA000003", "CLINICA DE ESPECIALIDADES SUR"}};
    for (const auto& unit : units)
      source.execute(std::string("INSERT INTO CATCLUES(CLUES, DESCUNIDAD) VALUES ('") + unit[0] +
                     "','" + unit[1] + "')");
    int folio = 1;
    for (const auto& unit : units)
      for (int day = 1; day <= 9; ++day)
        discharge(source, unit[0], folio++, "2023-03-0" + std::to_string(day) + " 00:00:00", "3",
                  20 + day, day % 2 ? "1" : "2", "J189");
    discharge(source, "DFSSA000002", folio++, "2023-03-10 00:00:00", "3", 131, "2", "J189");
    discharge(source, "DFSSA000002", folio++, "2023-03-11 00:00:00", "7", 30, "1", "J189");
    discharge(source, "DFSSA000003", folio++, "2023-03-12 00:00:00", "1", 45, "2", "J189");
  } catch (const kolt::db::DbError& e) {
    std::fprintf(stderr, "%ld - %s\n", e.number(), e.description().c_str());
    return 1;
  }
  return 0;
}
