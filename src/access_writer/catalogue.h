// The system catalogue MSysObjects: one row per object of the database. Readers find a table by
// its row: "Id" is the page of its definition, "Type" 1 marks a local table, and "Flags" with
// 0x80000000 or 0x2 marks a system table they leave out of the user's list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access_writer/table_definition.h"
#include "base/value.h"

namespace kolt::access_writer {

inline constexpr const char* kCatalogueName = "MSysObjects";

std::vector<JetColumn> catalogueColumns();

// The catalogue rows of a database whose user tables are `tables` (name, definition page), the
// catalogue's own row and the "Tables" folder included; `createdSerial` dates them all.
std::vector<std::vector<base::Value>> catalogueRows(
    const std::vector<std::pair<std::string, std::uint32_t>>& tables, double createdSerial);

}  // namespace kolt::access_writer
