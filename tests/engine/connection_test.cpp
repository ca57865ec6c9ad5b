// A connection opened read-only: the file is never written, whatever its name, while the
// connection's own tables and the files it writes into work as on any connection.
#include "engine/connection.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/platform/paths.h"
#include "base/quoting.h"
#include "support/paths.h"

namespace kolt::engine {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

long count(Connection& cnn, const std::string& table) {
  return cnn.openRecordset("SELECT * FROM " + table).recordCount();
}

TEST(ReadOnlyConnection, NeverWritesTheFileWhateverItsName) {
  // Names that a URI would misread unless written out: its separators, its escape, a scheme.
  for (const std::string name : {"origen.db", "con blancos.db", "100%.db", "a?mode=rw.db", "a#b.db",
                                 "o'brien.db", "señal.db", "file:x.db"}) {
    SCOPED_TRACE(name);
#ifdef _WIN32
    // No Windows file name holds these.
    if (name.find_first_of("?:") != std::string::npos) continue;
#endif
    test::TempDir dir;
    const fs::path file = dir.path() / platform::pathFromUtf8(name);
    {
      Connection maker;
      Connection::createDatabase(file);
      maker.open(file);
      maker.executeNative("CREATE TABLE EGRESO (CLUES TEXT)");
      maker.executeNative("INSERT INTO EGRESO VALUES ('DFSSA000001'), ('DFSSA000002')");
      // An earlier run's unit list, left in the file.
      maker.executeNative("CREATE TABLE CLUESSEL (CLUES TEXT)");
      maker.executeNative("INSERT INTO CLUESSEL VALUES ('A'), ('B'), ('C')");
    }
    const std::string before = bytesOf(file);
    const fs::path working = dir.path() / platform::pathFromUtf8("trabajo " + name);
    Connection::createDatabase(working);

    Connection cnn;
    cnn.openReadOnly(file);
    EXPECT_EQ(cnn.file(), file);
    EXPECT_EQ(count(cnn, "EGRESO"), 2);
    for (const char* write : {"INSERT INTO EGRESO (CLUES) SELECT 'X'", "Drop Table EGRESO",
                              "CREATE TABLE OTRA (A TEXT)"}) {
      SCOPED_TRACE(write);
      if (std::string_view(write).starts_with("CREATE")) {
        // Made in the connection's memory, not in the file.
        EXPECT_NO_THROW(cnn.execute(write));
      } else {
        EXPECT_THROW(cnn.execute(write), base::Error);
      }
    }
    // A table of the connection's own may take a name of the file's, and is then the one read.
    cnn.execute("SELECT CLUES INTO CLUESSEL FROM EGRESO WHERE CLUES = 'DFSSA000002'");
    EXPECT_EQ(count(cnn, "CLUESSEL"), 1);
    // What the connection copies into another file lands there.
    cnn.execute("SELECT * INTO COPIA IN '" + base::doubledQuotes(working.string()) +
                "' FROM CLUESSEL");
    EXPECT_EQ(cnn.rowsWritten(), 1);
    cnn.close();

    EXPECT_TRUE(bytesOf(file) == before) << "the file was written";
    Connection check;
    check.open(working);
    EXPECT_EQ(count(check, "COPIA"), 1);
    check.close();
    Connection again;
    again.open(file);
    EXPECT_EQ(count(again, "EGRESO"), 2);
    EXPECT_EQ(count(again, "CLUESSEL"), 3);
  }
}

TEST(ReadOnlyConnection, RefusesWhatIsNoDatabaseAsOpenDoes) {
  test::TempDir dir;
  std::ofstream(dir / "texto.db")
      << "esto no es una base de datos, aunque lo parezca por el nombre";
  for (const fs::path& file : {dir / "texto.db", dir / "no-existe.db"}) {
    SCOPED_TRACE(file.string());
    Connection cnn;
    try {
      cnn.openReadOnly(file);
      ADD_FAILURE() << "opened";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrFile);
      EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    }
    EXPECT_FALSE(cnn.isOpen());
  }
}

}  // namespace
}  // namespace kolt::engine
