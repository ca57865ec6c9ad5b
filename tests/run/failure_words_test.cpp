// A folder that cannot be written or an engine refusal reads in the user's words: the folder at
// fault and what to do, in Spanish; temporary names and the system's English only in the log.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>

#include "access/bulk_loader.h"
#include "access/companion.h"
#include "access/import_support.h"
#include "access/progress_protocol.h"
#include "base/error.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"
#include "engine/connection.h"
#include "results/results_folder.h"
#include "run/run_log.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

namespace fs = std::filesystem;

// Words of the system's or the engine's English, and the marks of temporary names: neither is
// for the user.
const std::regex kNotForTheUser(
    "\\.tmp-|\\.lock|unable|already|exists|denied|permission|no such|directory|read-only|"
    "readonly|cannot|failed|syntax|file|database|disk|operation |memory|open |error",
    std::regex::icase);

base::Error errorOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const base::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error";
  return base::Error(0, "");
}

// Each step fails in a folder nobody may write, "cerrada" (which holds EGRESOS.accdb), or under a
// file; its message must name the folders listed (inside `top`), say what to do and, once those are
// taken out, hold no temporary name and no word of the system's English. The system's own words
// stay in the detail, for the log.
TEST(FailureWords, NameTheFolderAndWhatToDoWithoutTemporaryNamesOrEnglish) {
  using Results = results::ResultsFolder;
  const std::pair<std::function<void(const fs::path&)>, std::vector<const char*>> cases[] = {
      // results folders inside a folder nobody may write, nobody may write, under a file
      {[](auto& top) { Results folder(top / "cerrada/RESULTADOS"); },
       {"cerrada/RESULTADOS", "cerrada"}},
      {[](auto& top) { Results folder(top / "cerrada"); }, {"cerrada"}},
      {[](auto& top) { Results folder(top / "archivo/RESULTADOS"); }, {"archivo/RESULTADOS"}},
      // the copy of an Access file whose folder and results folder nobody may write
      {[](auto& top) {
         access::openSourceCompanion(top / "cerrada/EGRESOS.accdb", top / "cerrada/RESULTADOS",
                                     importOptions());
       },
       {"cerrada/RESULTADOS", "cerrada"}},
      // that copy under its temporary name; a unit's working database
      {[](auto& top) { access::BulkLoader(base::temporaryNameFor(top / "cerrada/e.mdb.kolt.db")); },
       {"cerrada"}},
      {[](auto& top) { engine::Connection::createDatabase(top / "cerrada/ValDFSSA000001.db"); },
       {"cerrada"}},
  };
  for (const auto& c : cases) {
    TempDir top;
    fs::create_directory(top / "cerrada");
    fs::copy_file(sample("testV2010.accdb"), top / "cerrada/EGRESOS.accdb");
    std::ofstream(top / "archivo") << "x";
    NoWriting noWriting({top / "cerrada"});
    if (!noWriting.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
    const base::Error error = errorOf([&] { c.first(top.path()); });
    std::string text = error.description();
    SCOPED_TRACE(text);
    EXPECT_EQ(error.number(), base::kErrFile);
    EXPECT_FALSE(error.detail().empty()) << "the system's words are lost for the log";
    EXPECT_NE(text.find("Compruebe"), std::string::npos) << "says nothing the user can do";
    for (const char* folder : c.second) {  // longest first, so that a folder inside another goes
      const std::string name = platform::utf8((top / folder).make_preferred());  // out whole
      EXPECT_NE(text.find(name), std::string::npos) << "does not name " << name;
      for (std::size_t at; (at = text.find(name)) != std::string::npos;)
        text.erase(at, name.size());
    }
    EXPECT_FALSE(std::regex_search(text, kNotForTheUser));
  }
}

// The engine's refusals in the user's words, the same whether the engine or the dialect refuses;
// the engine's own words reach the log.
TEST(FailureWords, EngineRefusalsAreSpanishAndTheEngineWordsReachTheLog) {
  TempDir dir;
  engine::Connection cnn;
  cnn.openInMemory();
  cnn.execute("CREATE TABLE Validacion7 (folio char(10))");
  {
    // Read once closed, as the user reads it after the run.
    run::RunLog log(dir / "Validacion.log");
    for (const char* statement : {"CREATE TABLE Validacion7 (folio char(10))",
                                  "SELECT folio INTO Validacion7 FROM Validacion7"}) {
      SCOPED_TRACE(statement);
      const base::Error error = errorOf([&] { cnn.execute(statement); });
      EXPECT_EQ(error.number(), base::kErrTableExists);
      EXPECT_EQ(error.description(), "La tabla 'Validacion7' ya existe.");
      log.failure("DFSSA000001", "instrucción", error);
    }
    // A failure the program has no words of its own for still reads as Spanish.
    const base::Error other = errorOf([&] { cnn.executeNative("SELEC folio FROM Validacion7"); });
    EXPECT_FALSE(std::regex_search(other.description(), kNotForTheUser)) << other.description();
    log.failure("DFSSA000001", "instrucción", other);
  }
  const std::string logged = fileText(dir / "Validacion.log");
  EXPECT_NE(logged.find("ya existe. [detalle: table"), std::string::npos) << logged;
  EXPECT_NE(logged.find("syntax error"), std::string::npos) << logged;
}

// The importer runs in a child process: its failures cross to the program as lines, and the
// system's words must cross with them, apart from the user's.
TEST(FailureWords, TheImportersDetailCrossesToTheProgramApart) {
  const std::string detail = "/x/a.tmp-1-1: unable to open\tdatabase file\n";
  const auto got = access::decodeEvent(access::encodeEvent(
      {access::ProgressEvent::Kind::Error, "No se pudo escribir.", 3044, 0, 0, detail}));
  EXPECT_EQ(got ? std::to_string(got->index) + "|" + got->text + "|" + got->detail : "",
            "3044|No se pudo escribir.|" + detail);
}

}  // namespace
}  // namespace kolt::test
