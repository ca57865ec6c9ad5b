// What a statement text becomes in SQLite, and the cache that keeps each translation.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
  // SelectInto, Export: the declared type of each column the engine gives none, by its position;
  // empty where the statement says nothing. A date the statement computes (#01/31/2024#,
  // DateAdd(...)) is declared a date, so that it is kept and exported as one.
  std::vector<std::string> computedTypes;
};

// Carries one Access-dialect statement text into SQLite. Throws base::Error (base::kErrSyntax) for
// a text the dialect does not accept, and for a function it does not know.
Translation translate(std::string_view statement);

// What a statement text does, read without running or translating it: for the checks on a rule
// that an office writes, which may only build its own result tables.
struct StatementDescription {
  enum class Kind {
    SelectInto,    // SELECT ... INTO target
    InsertSelect,  // INSERT INTO target ... SELECT
    Other,         // anything else, an INSERT ... VALUES too
  };
  Kind kind = Kind::Other;
  std::string
      target;  // SelectInto, InsertSelect: the table written; Other: the table named, if any
  // An IN 'file' clause (after INTO, INSERT INTO or a table of FROM) or a [;DATABASE=...] table,
  // anywhere in the statement, its subqueries included.
  bool namesExternalDatabase = false;
  int statementCount = 0;  // statements the text holds, split at ';' (0 for a blank text)
};

// Throws base::Error (base::kErrSyntax) when the first statement of the text does not parse, or
// names a construct the dialect refuses; the count needs only the text to be well quoted.
StatementDescription describeStatement(std::string_view text);

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
