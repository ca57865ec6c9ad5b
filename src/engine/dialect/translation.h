// What a statement text becomes in SQLite, and the cache that keeps each translation.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kolt::engine {

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

// Carries one Access-dialect statement text into SQLite. Throws base::Error (base::kErrSyntax) for
// a text the dialect does not accept, and for a function it does not know.
Translation translate(std::string_view statement);

// Translations by statement text. A run repeats the same few hundred texts for every unit, so each
// is translated once. The texts that name one unit's files (its copies, its sheets) never come
// back, and a national run has hundreds of units: so the cache keeps two generations of at most
// kGeneration texts each. When the newer is full the older is dropped, and a text still in use
// moves to the newer the next time it is asked for. Safe to share between threads.
class TranslationCache {
 public:
  static constexpr std::size_t kGeneration = 1024;

  std::shared_ptr<const Translation> get(std::string_view statement);
  std::size_t size();

 private:
  using Entries = std::unordered_map<std::string, std::shared_ptr<const Translation>>;
  void keep(std::string text, std::shared_ptr<const Translation> translation);

  std::mutex mutex_;
  Entries newer_, older_;
};

}  // namespace kolt::engine
