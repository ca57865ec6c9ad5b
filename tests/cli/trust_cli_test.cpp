// kolt-validar tells a user what its verdicts rest on: no verdict for an empty period passes for a
// clean one, a wrong catalogue or a source lacking tables is refused with every missing part named,
// units CATCLUES lacks are said, progress shows outside a terminal, and Ctrl-C ends a run cleanly.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "engine/connection.h"
#include "results/results_folder.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TrustCli : public ::testing::Test {
 protected:
  // Units DFSSA000001 and DFSSA000002 with a discharge of March 2023 each, the second breaking
  // rule 1; `extra` adds to the source.
  void makeSource(const std::function<void(test::WorkingDb&)>& extra = nullptr) {
    test::WorkingDb source(dir / "origen.db");
    source.egreso();
    source.egreso({{"clues", "DFSSA000002"}, {"edad", 131}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000002"}, {"DESCUNIDAD", "CLINICA NORTE"}});
    if (extra) extra(source);
    test::WorkingDb catalogue(dir / "catalogo.db");
  }

  std::string command(const std::string& args, const fs::path& catalogue = {}) {
    return quoted(test::binaryDir() / "bin" / "kolt-validar") + " " + args + " --catalogo " +
           quoted(catalogue.empty() ? dir / "catalogo.db" : catalogue) + " --resultados " +
           quoted(dir / "R");
  }

  // Runs kolt-validar on the source with `args`, standard output to `out`, standard error to
  // `err`; returns its exit status.
  int run(const std::string& args, std::string& out, std::string& err,
          const fs::path& catalogue = {}) {
    const int status = test::runCommand(
        command(quoted(dir / "origen.db") + " " + args, catalogue) + " 2>" + quoted(dir / "err"),
        out);
    err = fileText(dir / "err");
    return status;
  }

  test::TempDir dir;
};

TEST_F(TrustCli, APeriodWithoutDischargesIsNoCleanPass) {
  makeSource();
  std::string out, err;
  EXPECT_EQ(run("--desde 01/01/2024 --hasta 31/12/2024", out, err), 3) << out << err;
  EXPECT_NE(out.find("DFSSA000001  SIN EGRESOS  0 hallazgos  0 egresos\n"
                     "DFSSA000002  SIN EGRESOS  0 hallazgos  0 egresos\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Ninguna unidad tiene egresos en el periodo pedido"), std::string::npos);
  EXPECT_EQ(run("--desde 01/01/2023 --hasta 31/12/2023", out, err), 0) << out << err;
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo  1 egreso\n"), std::string::npos) << out;
}

TEST_F(TrustCli, WhatTheRunWouldLackIsNamedWholeBeforeAnyUnit) {
  struct Case {
    const char* name;
    std::vector<const char*> dropped;  // from the database below
    bool fromCatalogue;                // else from the source
    std::string named;
  };
  const Case cases[] = {
      {"a discharge database as the catalogue",
       {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS", "catValidaciones", "Folio"},
       true,
       "no tiene las tablas CATCIE10, CATCIE9MC, CATLOCAL, CATSERVICIOS, catValidaciones y "
       "Folio."},
      {"a source without OBSTET and PROCEDIMIENTOS",
       {"OBSTET", "PROCEDIMIENTOS"},
       false,
       "no tiene las tablas OBSTET y PROCEDIMIENTOS."},
  };
  makeSource();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir spoilt;
    fs::copy_file(dir / "origen.db", spoilt / "origen.db");
    {
      engine::Connection cnn;
      cnn.open(spoilt / "origen.db");
      for (const char* table : c.dropped) cnn.execute(std::string("Drop Table ") + table);
    }
    const fs::path source = c.fromCatalogue ? dir / "origen.db" : spoilt / "origen.db";
    const fs::path catalogue = c.fromCatalogue ? spoilt / "origen.db" : dir / "catalogo.db";
    std::string out;
    EXPECT_EQ(test::runCommand(command(quoted(source), catalogue) + " 2>&1", out), 1);
    EXPECT_NE(out.find(c.named), std::string::npos) << out;
    EXPECT_NE(out.find("no se validó ninguna unidad"), std::string::npos) << out;
    EXPECT_EQ(out.find("A REVISAR"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir / "R" / "ResultadosVal.xls"));
  }
}

TEST_F(TrustCli, UnitsThatCatcluesLacksAreSaidAndMarked) {
  makeSource([](test::WorkingDb& source) {
    for (int i = 0; i < 3; ++i) source.egreso({{"clues", "DFSSA000999"}});
  });
  std::string out, err;
  EXPECT_EQ(run("--unidades", out, err), 0) << err;
  EXPECT_EQ(out,
            "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n"
            "DFSSA000999  (no está en CATCLUES)\n");
  EXPECT_EQ(run("", out, err), 0) << err;
  EXPECT_NE(err.find("Aviso: La unidad DFSSA000999 de EGRESO no está en el catálogo CATCLUES y no "
                     "aparece en la lista."),
            std::string::npos)
      << err;
}

// Standard error to a file, as under a scheduler: a line per finished unit.
TEST_F(TrustCli, ProgressOutsideATerminalIsALinePerUnit) {
  makeSource();
  std::string out, err;
  EXPECT_EQ(run("--hilos 1", out, err), 0) << err;
  EXPECT_EQ(err,
            "[1/2] DFSSA000001  CORRECTA  0 hallazgos  1 egreso\n"
            "[2/2] DFSSA000002  A REVISAR  1 hallazgo  1 egreso\n");
}

// Ctrl-C once the first unit is done: the run ends with 130, the folder free, the units finished
// with their workbooks and verdicts and no other.
TEST_F(TrustCli, AnInterruptedRunEndsCleanlyWithWhatItFinished) {
  constexpr int kUnits = 40;
  {
    test::WorkingDb source(dir / "origen.db");
    for (int u = 0; u < kUnits; ++u) {
      const std::string code = "DFSSA0001" + std::string(u < 10 ? "0" : "") + std::to_string(u);
      source.egreso({{"clues", code}, {"edad", 131}});
      source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
    }
    test::WorkingDb catalogue(dir / "catalogo.db");
  }
  const std::string script = command(quoted(dir / "origen.db") + " --hilos 1") + " >" +
                             quoted(dir / "out") + " 2>" + quoted(dir / "err") + " & pid=$!\n" +
                             "for i in $(seq 600); do grep -q '^\\[1/' " + quoted(dir / "err") +
                             " && break; sleep 0.05; done\n"
                             "kill -INT $pid\nwait $pid\necho $?\n";
  std::string status;
  test::runCommand(script, status);
  const std::string out = fileText(dir / "out"), err = fileText(dir / "err");
  EXPECT_EQ(status, "130\n") << out << err;

  std::size_t verdicts = 0;
  for (std::size_t at = out.find("  A REVISAR  "); at != std::string::npos;
       at = out.find("  A REVISAR  ", at + 1))
    ++verdicts;
  EXPECT_GE(verdicts, 1u) << out;
  EXPECT_LT(verdicts, std::size_t{kUnits}) << out;
  std::size_t workbooks = 0;
  for (const auto& entry : fs::directory_iterator(dir / "R"))
    workbooks += entry.path().filename().string().starts_with("ValDFSSA");
  EXPECT_EQ(workbooks, verdicts);
  EXPECT_EQ(test::sheet(test::readBack(dir / "R" / "ResultadosVal.xls"), "Resultados").size(),
            verdicts + 1);
  EXPECT_NE(out.find("La validación se interrumpió"), std::string::npos) << out;
  EXPECT_NE(fileText(dir / "R" / "Validacion.log").find("Validación interrumpida"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "R" / "Validacion.tmp"));
  EXPECT_NO_THROW(results::ResultsFolder again(dir / "R"));
}

}  // namespace
}  // namespace kolt::cli
