#include "engine/dialect/translation.h"

#include "base/error.h"
#include "engine/dialect/emitter.h"
#include "engine/dialect/parser.h"

namespace kolt::engine {

Translation translate(std::string_view statement) {
  dialect::Statement st = dialect::parse(statement);
  Translation t;
  switch (st.kind) {
    case dialect::Statement::Kind::Select:
      t.sql = dialect::emitSelect(*st.select);
      if (!st.select->into) {
        t.kind = Translation::Kind::Query;
        break;
      }
      t.target = st.select->into->table;
      t.inFile = st.select->into->inFile;
      if (st.select->into->connect) {
        if (!dialect::isExcelConnect(*st.select->into->connect) || !t.inFile)
          throw base::Error(base::kErrSyntax, "No se puede exportar a '" +
                                                  *st.select->into->connect +
                                                  "': solo se admiten libros 'Excel 8.0;'.");
        t.kind = Translation::Kind::Export;
      } else {
        t.kind = Translation::Kind::SelectInto;
      }
      break;
    case dialect::Statement::Kind::Insert:
    case dialect::Statement::Kind::CreateTable:
    case dialect::Statement::Kind::DropTable:
      t.kind = Translation::Kind::Command;
      t.target = st.table;
      t.sql = dialect::emitCommand(st);
      break;
  }
  return t;
}

std::shared_ptr<const Translation> TranslationCache::get(std::string_view statement) {
  std::string text(statement);
  {
    std::lock_guard lock(mutex_);
    if (auto it = newer_.find(text); it != newer_.end()) return it->second;
    if (auto it = older_.find(text); it != older_.end()) {
      auto translation = it->second;
      keep(std::move(text), translation);
      return translation;
    }
  }
  auto translation = std::make_shared<const Translation>(translate(statement));
  std::lock_guard lock(mutex_);
  keep(std::move(text), translation);
  return translation;
}

std::size_t TranslationCache::size() {
  std::lock_guard lock(mutex_);
  return newer_.size() + older_.size();
}

void TranslationCache::keep(std::string text, std::shared_ptr<const Translation> translation) {
  if (newer_.size() >= kGeneration) {
    older_ = std::move(newer_);
    newer_.clear();
  }
  newer_.try_emplace(std::move(text), std::move(translation));
}

}  // namespace kolt::engine
