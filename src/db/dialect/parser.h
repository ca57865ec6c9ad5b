// Reads one Access-dialect statement text into a tree.
#pragma once

#include <string_view>

#include "db/dialect/ast.h"

namespace kolt::db::dialect {

// Throws DbError (kErrSyntax) with the position of the first token it cannot place.
Statement parse(std::string_view statement);

}  // namespace kolt::db::dialect
