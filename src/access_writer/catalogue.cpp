#include "access_writer/catalogue.h"

#include "access_writer/page_layout.h"
#include "base/date_text.h"

namespace kolt::access_writer {
namespace {

constexpr std::int64_t kLocalTable = 1;
constexpr std::int64_t kFolder = 3;
constexpr std::int64_t kSystemObject = 0x80000000LL | 0x2;
// Folders have ids of their own kind, above any page number.
constexpr std::int64_t kTablesFolderId = 0x0F000001;
constexpr std::int64_t kRootFolderId = 0x0F000000;

}  // namespace

std::vector<JetColumn> catalogueColumns() {
  return {{"Id", ColumnType::Long},
          {"ParentId", ColumnType::Long},
          {"Name", ColumnType::Text, 255},
          {"Type", ColumnType::Integer},
          {"DateCreate", ColumnType::DateTime},
          {"DateUpdate", ColumnType::DateTime},
          {"Flags", ColumnType::Long},
          {"LvProp", ColumnType::Ole}};
}

std::vector<std::vector<base::Value>> catalogueRows(
    const std::vector<std::pair<std::string, std::uint32_t>>& tables, double createdSerial) {
  // "Flags" is a signed 32-bit column; the system bit is its sign.
  auto row = [&](std::int64_t id, std::int64_t parent, const std::string& name, std::int64_t type,
                 std::int64_t flags) {
    return std::vector<base::Value>{id,
                                    parent,
                                    name,
                                    type,
                                    createdSerial,
                                    createdSerial,
                                    static_cast<std::int64_t>(static_cast<std::int32_t>(flags)),
                                    base::Value{}};
  };
  std::vector<std::vector<base::Value>> rows;
  rows.push_back(row(kTablesFolderId, kRootFolderId, "Tables", kFolder, 0x80000000LL));
  rows.push_back(
      row(kCatalogueDefinitionPage, kTablesFolderId, kCatalogueName, kLocalTable, kSystemObject));
  for (const auto& [name, page] : tables)
    rows.push_back(row(page, kTablesFolderId, name, kLocalTable, 0));
  return rows;
}

}  // namespace kolt::access_writer
