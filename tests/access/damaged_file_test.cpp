// Files that are not sound Access databases, and importers that crash, hang or talk nonsense: each
// must end in one clear base::Error, with the test process alive and no file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "access/import_support.h"
#include "access/jet_header.h"
#include "base/platform/paths.h"
#include "support/linux_tools.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

using Bytes = std::vector<unsigned char>;

// Imports `source` into an empty folder: it must fail with error `number`, whose description holds
// `words`, and leave nothing in the folder.
void expectImportError(const std::filesystem::path& source, long number, const std::string& words,
                       const access::ImportOptions& options = importOptions()) {
  TempDir out;
  expectError([&] { access::importAccess(source, out / "out.db", options); }, number, words);
  EXPECT_TRUE(folderListing(out.path()).empty()) << "left behind by " << source;
}

Bytes noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

// What is missing names itself; what holds no Access database says so.
TEST(UnreadableSource, MissingFilesAndOtherContentsAreRefusedWithTheirError) {
  TempDir dir;
  std::filesystem::create_directory(dir / "carpeta.mdb");
  const std::string text = "folio,clues,egreso\n1,DFSSA000012,2020-01-01\n";
  writeFile(dir / "vacio.mdb", {});
  writeFile(dir / "texto.mdb", {text.begin(), text.end()});
  writeFile(dir / "ruido.mdb", noise(64 * 1024, 7));
  const char* notAccess = "no es una base de datos de Access o está dañado";
  for (const auto& [name, number, words] :
       {std::tuple{"no-existe.mdb", base::kErrFile, "no-existe.mdb. Compruebe la ruta"},
        {"carpeta.mdb", base::kErrFile, "carpeta.mdb no es un archivo de base de datos"},
        {"vacio.mdb", base::kErrNotAccessFile, notAccess},
        {"texto.mdb", base::kErrNotAccessFile, notAccess},
        {"ruido.mdb", base::kErrNotAccessFile, notAccess}}) {
    SCOPED_TRACE(name);
    expectImportError(dir / name, number, words);
  }
}

TEST(DamagedSource, TruncatedFilesAreRefusedUnlessNothingImportedWasCutOff) {
  TempDir dir;
  // A cut inside a page, and a cut at every page boundary from the third page on: the header
  // still looks sound, and what is lost may be rows or the catalogue itself (which would pass for
  // a database without tables). Pages past the last one holding anything imported may go.
  for (const auto& [name, pageSize] :
       {std::pair{"delColTestV1997.mdb", 2048}, std::pair{"overflowTestV2000.mdb", 4096}}) {
    SCOPED_TRACE(name);
    access::importAccess(sample(name), dir / "whole.db", importOptions());
    const auto whole = readFixture(sample(name));
    std::vector<std::size_t> sizes{1000, static_cast<std::size_t>(pageSize) + 17};
    for (std::size_t size = 3 * pageSize; size < whole.size(); size += pageSize)
      sizes.push_back(size);
    for (std::size_t size : sizes) {
      SCOPED_TRACE("cut at " + std::to_string(size));
      writeFile(dir / "cortado.mdb", {whole.begin(), whole.begin() + static_cast<long>(size)});
      std::filesystem::remove(dir / "cortado.db");
      try {
        access::importAccess(dir / "cortado.mdb", dir / "cortado.db", importOptions());
        EXPECT_EQ(tableNames(dir / "cortado.db"), tableNames(dir / "whole.db"));
        for (const std::string& table : tableNames(dir / "whole.db"))
          EXPECT_EQ(rowsOf(dir / "cortado.db", table), rowsOf(dir / "whole.db", table)) << table;
        EXPECT_GE(size, whole.size() - 3 * pageSize) << "accepted although the catalogue is cut";
      } catch (const base::Error& e) {
        EXPECT_EQ(e.number(), base::kErrNotAccessFile) << e.what();
        EXPECT_FALSE(std::filesystem::exists(dir / "cortado.db"));
      }
    }
  }
}

// Finds `value` in the bytes and sets `count` bytes from its byte `at` on to `to`.
std::function<void(Bytes&)> changeAt(Bytes value, long at, unsigned char to, long count = 1) {
  return [=](Bytes& bytes) {
    const auto found = std::search(bytes.begin(), bytes.end(), value.begin(), value.end());
    ASSERT_NE(found, bytes.end());
    std::fill(found + at, found + at + count, to);
  };
}

// Samples changed where it matters: each is refused with its error, which names what is wrong.
TEST(DamagedSource, ChangedSamplesAreRefusedWithTheirError) {
  auto garbageAfterTheHeader = [](Bytes& bytes) {
    const auto garbage = noise(bytes.size() - 4096, 11);
    std::copy(garbage.begin(), garbage.end(), bytes.begin() + 4096);
  };
  // An unprotected file stores an empty password (Jet4: under a mask of the creation date), so
  // XOR-ing "clave" in gives what Access writes for that password.
  auto databasePassword = [](Bytes& bytes) {
    const bool jet3 = bytes[access::jet_header::kVersionOffset] == 0;
    access::jet_header::toggleMask(bytes.data());
    const std::string password = "clave";
    for (std::size_t i = 0; i < password.size(); ++i)
      bytes[access::jet_header::kPasswordOffset + (jet3 ? i : 2 * i)] ^=
          static_cast<unsigned char>(password[i]);
    access::jet_header::toggleMask(bytes.data());
  };
  Bytes calculatedDate(16, 0);
  calculatedDate.insert(calculatedDate.end(), {8, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x7B, 0xE5, 0x40});
  TempDir dir;
  for (const auto& [name, change, error, words] :
       std::vector<std::tuple<const char*, std::function<void(Bytes&)>, long, const char*>>{
           {"testV2010.accdb", garbageAfterTheHeader, base::kErrNotAccessFile, ""},
           // A property record that claims a length of zero keeps libmdb's catalogue reader on
           // the same record for ever, at full speed and without a word: the work budget must end
           // it, long before the silence limit would.
           {"testV2010.accdb", changeAt({'M', 'R', '2', 0}, 4, 0, 4), base::kErrNotAccessFile,
            "más trabajo"},
           // Column names of a damaged table definition may come out empty or repeated ("B" read
           // as "a", the same name as "A" to Access and to the engine): that is a damaged file,
           // not a disk that refuses the table. Table1's column names A, B, C as the definition
           // stores them: a length, then UTF-16.
           {"testV2010.accdb", changeAt({2, 0, 'A', 0, 2, 0, 'B', 0, 2, 0, 'C', 0}, 6, 'a'),
            base::kErrNotAccessFile, "Table1"},
           {"test2V2003.mdb", databasePassword, base::kErrAccessPassword, "contraseña"},
           {"delColTestV1997.mdb", databasePassword, base::kErrAccessPassword, "contraseña"},
           // A value claiming one byte more than its field holds: an inline memo ("some data", 11
           // bytes: its length, the inline mark, two unused words, the compressed text), and a
           // calculated value (its header, its length, the date 2020-06-17 as a serial day, in a
           // field of 11 bytes).
           {"fixedNumericTestV2003.mdb",
            changeAt({11, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE, 's', 'o'}, 0, 12),
            base::kErrNotAccessFile, "valor largo truncado"},
           {"extDateTestV2019.accdb", changeAt(calculatedDate, 16, 12), base::kErrNotAccessFile,
            "valor calculado truncado"}}) {
    SCOPED_TRACE(std::string(name) + " " + words);
    auto bytes = readFixture(sample(name));
    change(bytes);
    writeFile(dir / name, bytes);
    expectImportError(dir / name, error, words);
  }
}

// The processor-time budget of the whole import, on every system (on Windows a thread of the
// importer's own keeps it): an importer that has begun to read and then goes round in circles
// without a word is stopped by it, and the file is refused as one that needs too much work. The
// time limits are set far off, so that only the budget can end it.
TEST(SpinningImporter, IsStoppedByItsProcessorTimeBudget) {
  auto options = importOptions();
  options.importer = platform::executableIn(binaryDir() / "bin", "kolt-test-child");
  options.tables = {"report", "inicio\tJET4\t1\t1", "report", "tabla\t1\t1\tT", "spin"};
  options.limits.timeout = options.limits.stallTimeout = std::chrono::minutes(9);
  std::string format;
  options.progress = [&](const access::ImportProgress& p) { format = p.format; };
  expectImportError(sample("testV2010.accdb"), base::kErrNotAccessFile, "más trabajo", options);
  EXPECT_EQ(format, "JET4") << "the importer was stopped before it began to read";
}

class MisbehavingImporter : public ::testing::Test {
 protected:
  void SetUp() override { KOLT_NEEDS_LINUX_TOOL(ShellScript); }
  access::ImportOptions withImporter(const std::string& body) {
    std::ofstream(scripts_ / "importer.sh") << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(scripts_ / "importer.sh", std::filesystem::perms{0755});
    auto options = importOptions();
    options.importer = scripts_ / (body.empty() ? "no-existe" : "importer.sh");
    options.limits.stallTimeout = std::chrono::milliseconds(500);
    options.limits.timeout = std::chrono::seconds(30);
    return options;
  }
  TempDir scripts_;
};

// An importer that crashes, hangs, or ends without its end report (or with a garbled one) has not
// read the file: it counts as damaged, and nothing it began to write stays. An error it names is
// passed on as it is; an importer that is not there is a file error.
TEST_F(MisbehavingImporter, CrashHangOrNoSoundEndReportIsTheDamagedFileError) {
  for (const auto& [script, number, words] :
       {std::tuple{"echo x > \"$4\"; kill -SEGV $$", base::kErrNotAccessFile, ""},  // its target
        {"exec sleep 600", base::kErrNotAccessFile, "se detuvo"},
        {"exit 0", base::kErrNotAccessFile, ""},
        {"printf 'inicio\\tJET3\\t1\\t1\\ntabla\\t1\\t1\\tT\\nbasura\\nfin\\t1\\n' >&3; "
         "touch \"$4\"; exit 0",
         base::kErrNotAccessFile, ""},
        {"printf 'error\\t3011\\tLa tabla X no existe\\n' >&3; exit 2", base::kErrNoSuchTable,
         "La tabla X no existe"},
        {"", base::kErrFile, "no-existe"}}) {
    SCOPED_TRACE(script);
    expectImportError(sample("testV2010.accdb"), number, words, withImporter(script));
  }
}

TEST_F(MisbehavingImporter, RunsUnderTheMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitized child cannot run under an address-space limit";
#endif
  auto options = withImporter("printf 'error\\t1\\t[%s]\\n' \"$(ulimit -v)\" >&3; exit 2");
  options.limits.memoryBytes = std::uint64_t{256} << 20;
  expectImportError(sample("testV2010.accdb"), 1, "[" + std::to_string(256 * 1024) + "]", options);
}

}  // namespace
}  // namespace kolt::test
