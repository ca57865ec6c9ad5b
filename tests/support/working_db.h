// A unit's working database for tests, filled from compact literal rows.
//
// Every table of the working database is created (empty); rows are added by naming only the
// columns a test is about:
//
//   db.egreso({{"folio", "7"}, {"cveedad", "3"}, {"edad", 131}});
//   db.obstet({{"hayprod", 1}});   // belongs to the last discharge added
//
// A discharge's unnamed columns take values under which it passes rules 1 to 26 and the diagnosis
// code rules, and the baseline catalogue rows those values need (a locality, the services, the
// unit, the diagnosis) are present. kNull is NULL, which is not
// the same as "" (the rules tell them apart).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/value.h"
#include "engine/connection.h"

namespace kolt::test {

inline const base::Value kNull{};

using Cells = std::vector<std::pair<std::string_view, base::Value>>;

// The default discharge key, and the baseline catalogue values its default columns refer to.
inline constexpr std::string_view kClues = "DFSSA000001";
inline constexpr std::string_view kEgreso = "2023-03-15 00:00:00";

class WorkingDb {
 public:
  struct Options {
    // (table, column) pairs left out of the created tables, to make a rule's statement fail.
    std::vector<std::pair<std::string_view, std::string_view>> omitColumns = {};
  };

  // Creates the database file (which must not exist) and opens a connection on it.
  explicit WorkingDb(std::filesystem::path file);
  WorkingDb(std::filesystem::path file, const Options& options);

  engine::Connection& connection() { return cnn_; }

  // A discharge; its folio is "1", "2", ... in order of addition unless named.
  WorkingDb& egreso(const Cells& cells = {});
  // Child rows; their folio, clues and egreso are those of the last discharge unless named.
  WorkingDb& obstet(const Cells& cells = {});
  WorkingDb& productos(const Cells& cells = {});
  WorkingDb& defunc(const Cells& cells = {});
  WorkingDb& afecciones(const Cells& cells = {});
  WorkingDb& procedimientos(const Cells& cells = {});
  // Any table; unnamed columns are NULL.
  WorkingDb& insert(std::string_view table, const Cells& cells);

  // Reading back. Values as text: NULL is "NULL", numbers in decimal.
  bool hasTable(std::string_view table);
  std::vector<std::string> tableNames();  // every table of the file, sorted
  std::vector<std::string> columns(std::string_view table);
  std::vector<std::vector<std::string>> rows(std::string_view table);
  // One column of every row, in the table's order.
  std::vector<std::string> column(std::string_view table, std::string_view name);

 private:
  WorkingDb& add(std::string_view table, const Cells& defaults, const Cells& cells);
  WorkingDb& child(std::string_view table, Cells defaults, const Cells& cells);

  engine::Connection cnn_;
  Options options_;
  int nextFolio_ = 1;
  Cells lastKey_;
};

std::string text(const base::Value& value);

// The source most run tests validate: the default unit with one clean discharge, and kOtherUnit,
// "CLINICA NORTE", whose discharge of the 14th of March 2023 breaks rule 1 and whose discharge of
// the 16th is clean.
inline constexpr std::string_view kOtherUnit = "DFSSA000002";
void twoUnitSource(const std::filesystem::path& file, const WorkingDb::Options& options = {});
// Units DFSSA000001 to DFSSA0000{count}, every one in CATCLUES, each with `perUnit` discharges of
// March 2023 that break rule 1: a run over them takes long enough to be stopped part way.
void manyUnitSource(const std::filesystem::path& file, int count, int perUnit = 1);
// The program's catalogue database, with rule 1 described.
void ruleCatalogue(const std::filesystem::path& file);

}  // namespace kolt::test
