// Reads one Access-dialect statement text into a tree.
#pragma once

#include <string_view>

#include "engine/dialect/ast.h"

namespace kolt::engine::dialect {

// Throws base::Error (base::kErrSyntax) with the position of the first token it cannot place.
Statement parse(std::string_view statement);

}  // namespace kolt::engine::dialect
