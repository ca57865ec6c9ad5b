# The engine, as the target kolt::sqlite3.
#
# KOLT_SQLITE_AMALGAMATION names a folder with SQLite's single-file source (sqlite3.c, sqlite3.h),
# made from Debian's source package by scripts/sqlite-amalgamation.sh. The program is then built
# with it, with the options below, and the Linux and Windows programs run one engine built one way.
# Without it, the system's library (Debian's build: the same version, with options that cost time
# here, such as zeroing every deleted page and no small-allocation pool). Results are the same
# either way; only the speed differs.
set(KOLT_SQLITE_AMALGAMATION "" CACHE PATH "Folder holding sqlite3.c and sqlite3.h")

if(KOLT_SQLITE_AMALGAMATION)
  add_library(kolt_sqlite3 STATIC ${KOLT_SQLITE_AMALGAMATION}/sqlite3.c)
  target_include_directories(kolt_sqlite3 SYSTEM PUBLIC ${KOLT_SQLITE_AMALGAMATION})
  # The features Debian's build has that the program or an office's rules may reach (URI file
  # names, math functions, many bound values for the importer) stay; the ones it never uses go,
  # and so do the options that only cost time: secure deletion, no lookaside pool, memory
  # counting, shared cache.
  target_compile_definitions(kolt_sqlite3 PRIVATE
    SQLITE_THREADSAFE=1
    SQLITE_USE_URI=1
    SQLITE_DEFAULT_MEMSTATUS=0
    SQLITE_OMIT_SHARED_CACHE
    SQLITE_OMIT_LOAD_EXTENSION
    SQLITE_LIKE_DOESNT_MATCH_BLOBS
    SQLITE_ENABLE_MATH_FUNCTIONS
    SQLITE_ENABLE_COLUMN_METADATA
    SQLITE_ALLOW_ROWID_IN_VIEW
    SQLITE_MAX_SCHEMA_RETRY=25
    SQLITE_MAX_VARIABLE_NUMBER=250000)
  # Another project's code: optimized in every build (the sanitized one included, whose checks are
  # for our code) and without our warnings.
  target_compile_options(kolt_sqlite3 PRIVATE -O2 -w)
  if(KOLT_SANITIZE)
    target_compile_options(kolt_sqlite3 PRIVATE -fno-sanitize=all)
  endif()
  target_link_libraries(kolt_sqlite3 PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
  if(UNIX)
    target_link_libraries(kolt_sqlite3 PUBLIC m)
  endif()
  add_library(kolt::sqlite3 ALIAS kolt_sqlite3)
else()
  pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET GLOBAL sqlite3)
  add_library(kolt::sqlite3 ALIAS PkgConfig::SQLITE3)
endif()
