// Where each way of having the program sends its results and finds its catalogue: unpacked, it
// keeps both in its own folder; installed (a Debian package, or the Windows installer's marker),
// the results go to the user's data folder and the user's catalogue comes before anything the
// program ships, so that an uninstall or an update never holds or hides the user's files.
#include "run/program_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "base/platform/paths.h"
#include "run/session.h"
#include "support/paths.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;

// The variable the system's user data folder comes from, pointed at a folder of the test's own
// while the object lives: the tester's own data is no business of these tests.
class UserDataHomeAt {
 public:
#ifdef _WIN32
  static constexpr const char* kVariable = "LOCALAPPDATA";
#else
  static constexpr const char* kVariable = "XDG_DATA_HOME";
#endif
  explicit UserDataHomeAt(const fs::path& folder) {
    if (const char* value = std::getenv(kVariable)) saved_ = value;
    set(platform::utf8(folder).c_str());
  }
  ~UserDataHomeAt() {
    saved_ ? set(saved_->c_str()) : unset();
  }
  UserDataHomeAt(const UserDataHomeAt&) = delete;
  UserDataHomeAt& operator=(const UserDataHomeAt&) = delete;

 private:
#ifdef _WIN32
  static void set(const char* value) {
    _putenv_s(kVariable, value);
  }
  static void unset() {
    _putenv_s(kVariable, "");
  }
#else
  static void set(const char* value) {
    setenv(kVariable, value, 1);
  }
  static void unset() {
    unsetenv(kVariable);
  }
#endif
  std::optional<std::string> saved_;
};

void touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}

enum class Layout { Unpacked, Marker, Debian };
enum class Place { App, User, Shipped };

struct Case {
  const char* name;
  Layout layout;
  bool userCatalogue;     // the user put the official file in the data folder
  bool resultsBesideApp;  // a RESULTADOS folder already lies beside the executables
  Place results, catalogue;
};

TEST(ProgramFolders, ResultsAndCatalogueFollowHowTheProgramIsThere) {
  const test::TempDir dir;
  const UserDataHomeAt home(dir / "datos");
  const fs::path user = dir / "datos" / "validaciones-kolt";
  ASSERT_EQ(userDataFolder(), user);
  const Case cases[] = {
      // The zip, unpacked: everything beside the executables, the official file put there too.
      {"unpacked", Layout::Unpacked, false, false, Place::App, Place::App},
      {"unpacked, the user's catalogue", Layout::Unpacked, true, false, Place::App, Place::App},
      {"unpacked, results there", Layout::Unpacked, false, true, Place::App, Place::App},
      // Installed on Windows: the demonstration catalogue is beside the executables as in the zip,
      // yet the user's official file comes first, and results never go beside the executables.
      {"installer", Layout::Marker, false, false, Place::User, Place::App},
      {"installer, the user's catalogue", Layout::Marker, true, false, Place::User, Place::User},
      {"installer, results there", Layout::Marker, true, true, Place::User, Place::User},
      {"package", Layout::Debian, false, false, Place::User, Place::Shipped},
      {"package, the user's catalogue", Layout::Debian, true, false, Place::User, Place::User},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::TempDir top;
    const fs::path app = top / "bin", shipped = top / "share" / "validaciones-kolt";
    fs::create_directories(app);
    if (c.layout == Layout::Debian) {
      touch(shipped / "ValidacionesKOLT.db");
    } else {
      touch(app / "ValidacionesKOLT.db");
      if (c.layout == Layout::Marker) touch(app / kInstalledMarker);
    }
    if (c.resultsBesideApp) fs::create_directories(app / "RESULTADOS");
    fs::remove_all(user);
    if (c.userCatalogue) touch(user / "ValidacionesKOLT.mdb");

    EXPECT_EQ(installedProgram(app), c.layout != Layout::Unpacked);
    EXPECT_EQ(defaultResultsFolder(app), (c.results == Place::App ? app : user) / "RESULTADOS");
    const fs::path catalogue = c.catalogue == Place::User      ? user / "ValidacionesKOLT.mdb"
                               : c.catalogue == Place::Shipped ? shipped / "ValidacionesKOLT.db"
                                                               : app / "ValidacionesKOLT.db";
    EXPECT_EQ(cataloguePath(app), catalogue);
    // An installed program's folder holds no source of the user's.
    const fs::path home = platform::userHome();
    EXPECT_EQ(sourceDialogFolder(app), c.layout == Layout::Unpacked || home.empty() ? app : home);
  }
}

// The official file beside the executables of an unpacked program is taken before its
// demonstration database; installed, after the user's copy but still before the demonstration one.
TEST(ProgramFolders, TheOfficialCatalogueComesBeforeTheDemonstrationOne) {
  const test::TempDir dir;
  const UserDataHomeAt home(dir / "datos");
  const fs::path app = dir / "programa";
  touch(app / "ValidacionesKOLT.db");
  touch(app / "ValidacionesKOLT.mdb");
  EXPECT_EQ(cataloguePath(app), app / "ValidacionesKOLT.mdb");
  touch(app / kInstalledMarker);
  EXPECT_EQ(cataloguePath(app), app / "ValidacionesKOLT.mdb");
  touch(userDataFolder() / "ValidacionesKOLT.mdb");
  EXPECT_EQ(cataloguePath(app), userDataFolder() / "ValidacionesKOLT.mdb");
}

// Unpacked where it may not write (the zip in "Archivos de programa"), the program still writes
// its results somewhere it can.
TEST(ProgramFolders, AnUnpackedProgramInAFolderItCannotWriteUsesTheUsersFolder) {
  const test::TempDir dir;
  const UserDataHomeAt home(dir / "datos");
  const fs::path app = dir / "programa";
  touch(app / "ValidacionesKOLT.db");
  const test::NoWriting closed({app});
  if (!closed.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
  EXPECT_EQ(defaultResultsFolder(app), userDataFolder() / "RESULTADOS");
}

}  // namespace
}  // namespace kolt::run
