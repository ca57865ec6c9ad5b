// What the user reads when a folder cannot be written or the engine refuses a statement: the
// folder at fault and what to do, in Spanish; never a temporary name or the system's English, which
// go to the run's log instead.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

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

// Words of the engine's and the system's messages that a Spanish text never holds.
constexpr const char* kEnglishWords[] = {
    "unable",    "already",    "exists", "denied", "permission", "no such", "directory",
    "read-only", "readonly",   "cannot", "failed", "syntax",     "file",    "database",
    "disk",      "operation ", "memory", "open ",  "error"};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Fails unless `error` names every one of `folders`, holds no temporary name and, once the paths
// it names are taken out, no English word.
void expectPlainWords(const base::Error& error, const std::vector<fs::path>& folders) {
  std::string text = error.description();
  SCOPED_TRACE(text);
  for (const auto& folder : folders) {
    const std::string name = platform::utf8(folder);
    EXPECT_NE(text.find(name), std::string::npos) << "does not name " << name;
  }
  EXPECT_EQ(text.find(".tmp-"), std::string::npos);
  EXPECT_EQ(text.find(".lock"), std::string::npos);
  // Longest first, so that a folder inside another is taken out whole.
  std::vector<fs::path> named = folders;
  std::sort(named.begin(), named.end(), [](const fs::path& a, const fs::path& b) {
    return a.native().size() > b.native().size();
  });
  for (const auto& folder : named)
    for (std::size_t at; (at = text.find(platform::utf8(folder))) != std::string::npos;)
      text.erase(at, platform::utf8(folder).size());
  const std::string words = lower(text);
  for (const char* english : kEnglishWords)
    EXPECT_EQ(words.find(english), std::string::npos) << "English: " << english;
  EXPECT_NE(text.find("Compruebe"), std::string::npos) << "says nothing the user can do";
}

base::Error errorOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const base::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error";
  return base::Error(0, "");
}

struct FailureCase {
  const char* name;
  long number;
  // Makes the failure in a fresh folder nobody may write; returns the error and the folders the
  // message must name.
  std::function<std::pair<base::Error, std::vector<fs::path>>(const fs::path& locked,
                                                              const fs::path& writable)>
      fail;
};

TEST(FailureWords, NameTheFolderAndWhatToDoWithoutTemporaryNamesOrEnglish) {
  const FailureCase cases[] = {
      {"results folder inside a folder nobody may write", base::kErrFile,
       [](const fs::path& locked, const fs::path&) {
         const fs::path results = locked / "RESULTADOS";
         return std::pair{errorOf([&] { results::ResultsFolder folder(results); }),
                          std::vector<fs::path>{results, locked}};
       }},
      {"results folder nobody may write", base::kErrFile,
       [](const fs::path& locked, const fs::path&) {
         return std::pair{errorOf([&] { results::ResultsFolder folder(locked); }),
                          std::vector<fs::path>{locked}};
       }},
      {"results folder under a file", base::kErrFile,
       [](const fs::path&, const fs::path& writable) {
         std::ofstream(writable / "archivo") << "x";
         const fs::path results = writable / "archivo" / "RESULTADOS";
         return std::pair{errorOf([&] { results::ResultsFolder folder(results); }),
                          std::vector<fs::path>{results}};
       }},
      {"copy of an Access file whose folder and results folder nobody may write", base::kErrFile,
       [](const fs::path& locked, const fs::path&) {
         // The Access file sits in the locked folder already, put there before it was locked.
         const fs::path source = locked / "EGRESOS.accdb";
         return std::pair{errorOf([&] {
                            access::openSourceCompanion(source, locked / "RESULTADOS",
                                                        importOptions());
                          }),
                          std::vector<fs::path>{locked, locked / "RESULTADOS"}};
       }},
      {"working copy of an Access file under a temporary name", base::kErrFile,
       [](const fs::path& locked, const fs::path&) {
         const fs::path target = base::temporaryNameFor(locked / "egresos.mdb.kolt.db");
         return std::pair{errorOf([&] { access::BulkLoader loader(target); }),
                          std::vector<fs::path>{locked}};
       }},
      {"working database in a folder nobody may write", base::kErrFile,
       [](const fs::path& locked, const fs::path&) {
         return std::pair{
             errorOf([&] { engine::Connection::createDatabase(locked / "ValDFSSA000001.db"); }),
             std::vector<fs::path>{locked}};
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir locked, writable;
    fs::copy_file(sample("testV2010.accdb"), locked / "EGRESOS.accdb");
    NoWriting noWriting({locked.path()});
    if (!noWriting.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
    const auto [error, folders] = c.fail(locked.path(), writable.path());
    EXPECT_EQ(error.number(), c.number);
    expectPlainWords(error, folders);
    EXPECT_FALSE(error.detail().empty()) << "the system's words are lost for the log";
  }
}

TEST(FailureWords, EngineRefusalsAreSpanishAndTheEngineWordsReachTheLog) {
  TempDir dir;
  engine::Connection cnn;
  engine::Connection::createDatabase(dir / "trabajo.db");
  cnn.open(dir / "trabajo.db");
  cnn.execute("CREATE TABLE Validacion7 (folio char(10))");
  struct Refusal {
    const char* statement;
    long number;
    const char* says;
  } refusals[] = {
      {"CREATE TABLE Validacion7 (folio char(10))", base::kErrTableExists,
       "La tabla 'Validacion7' ya existe."},
      {"SELECT folio INTO Validacion7 FROM Validacion7", base::kErrTableExists,
       "La tabla 'Validacion7' ya existe."},
  };
  run::RunLog log(dir / "Validacion.log");
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.statement);
    const base::Error error = errorOf([&] { cnn.execute(r.statement); });
    EXPECT_EQ(error.number(), r.number);
    EXPECT_EQ(error.description(), r.says);
    log.failure("DFSSA000001", "instrucción", error);
  }
  // An engine failure the program has no words of its own for still reads as Spanish.
  const base::Error other = errorOf([&] { cnn.executeNative("SELEC folio FROM Validacion7"); });
  EXPECT_EQ(lower(other.description()).find("syntax"), std::string::npos) << other.description();
  EXPECT_NE(other.detail().find("syntax error"), std::string::npos) << other.detail();
  log.failure("DFSSA000001", "instrucción", other);

  std::stringstream lines;
  lines << std::ifstream(dir / "Validacion.log").rdbuf();
  EXPECT_NE(lines.str().find("ya existe. [detalle: table"), std::string::npos) << lines.str();
  EXPECT_NE(lines.str().find("syntax error"), std::string::npos) << lines.str();
}

// The importer runs in a child process: its failures cross to the program as lines, and the
// system's words must cross with them, apart from the user's.
TEST(FailureWords, TheImportersDetailCrossesToTheProgramApart) {
  for (const std::string detail : {"", "/x/a.tmp-1-1: unable to open\tdatabase file\n"}) {
    SCOPED_TRACE(detail);
    access::ProgressEvent sent{
        access::ProgressEvent::Kind::Error, "No se pudo escribir.", 3044, 0, 0, detail};
    const auto got = access::decodeEvent(access::encodeEvent(sent));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->text, sent.text);
    EXPECT_EQ(got->index, 3044);
    EXPECT_EQ(got->detail, detail);
  }
}

}  // namespace
}  // namespace kolt::test
