// What a statement text becomes in SQLite, and the cache that keeps each translation.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kolt::db {

struct Translation {
  enum class Kind {
    Query,       // a SELECT that returns rows
    Command,     // INSERT, CREATE TABLE, DROP TABLE: run as it is
    SelectInto,  // sql is the SELECT; its rows make the new table `target`
    Export,      // sql is the SELECT; its rows make the sheet `target` of the workbook `inFile`
  };
  Kind kind;
  std::string sql;
  std::string target;                 // SelectInto: new table; Export: sheet; Command: its table
  std::optional<std::string> inFile;  // SelectInto into another database file; Export's workbook
};

// Carries one Access-dialect statement text into SQLite. Throws DbError (kErrSyntax) for a text
// the dialect does not accept, and for a function it does not know.
Translation translate(std::string_view statement);

// Translations by statement text. A run repeats the same few hundred texts for every unit, so each
// is translated once. Safe to share between threads.
class TranslationCache {
 public:
  std::shared_ptr<const Translation> get(std::string_view statement);

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const Translation>> entries_;
};

}  // namespace kolt::db
