#include "access/mdb_reader.h"

#include <mdbtools.h>

#include <cstring>
#include <span>

#include "access/access_header.h"
#include "access/jet_values.h"
#include "base/date_text.h"
#include "base/error.h"
#include "base/names.h"
#include "base/platform/paths.h"

namespace kolt::access {
namespace {

// Column types libmdb 1.0 has no name for.
constexpr int kTypeComplex = 0x12;
constexpr int kTypeBigInt = 0x13;
constexpr int kTypeExtendedDate = 0x14;

// Row-slot flag of a slot that holds no row of its own (deleted, or forwarding to an overflow row).
constexpr int kSlotNotARow = 0x4000;
constexpr int kSlotOffsetMask = 0x1FFF;

enum class Kind {
  Boolean,
  Byte,
  Int16,
  Int32,
  Int64,
  Currency,
  Single,
  Double,
  Date,
  ExtendedDate,
  Text,
  Memo,
  Binary,
  Ole,
  Guid,
  Decimal,
  Raw
};

struct ColumnPlan {
  MdbColumn* column = nullptr;
  Kind kind = Kind::Raw;
  bool calculated = false;  // an Access 2010+ calculated column: the value sits in a wrapper
  int scale = 0;
  SourceColumn source;
};

std::uint32_t le32(Bytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

template <typename T>
T load(Bytes b) {
  T value;
  std::memcpy(&value, b.data(), sizeof value);
  return value;
}

ColumnPlan planFor(MdbColumn* col, bool aceCalculated) {
  ColumnPlan plan;
  plan.column = col;
  plan.source.name = col->name;
  plan.calculated = aceCalculated && mdb_col_get_prop(col, "Expression") != nullptr;
  switch (col->col_type) {
    case MDB_BOOL:
      plan.kind = Kind::Boolean;
      plan.source.declaredType = "BOOLEAN";
      break;
    case MDB_BYTE:
      plan.kind = Kind::Byte;
      plan.source.declaredType = "TINYINT";
      break;
    case MDB_INT:
      plan.kind = Kind::Int16;
      plan.source.declaredType = "SMALLINT";
      break;
    case MDB_LONGINT:
      plan.kind = Kind::Int32;
      plan.source.declaredType = "INTEGER";
      break;
    case kTypeBigInt:
      plan.kind = Kind::Int64;
      plan.source.declaredType = "BIGINT";
      break;
    // The key of an attachment or multi-valued field's hidden rows.
    case kTypeComplex:
      plan.kind = Kind::Int32;
      plan.source.declaredType = "INTEGER";
      break;
    case MDB_MONEY:
      plan.kind = Kind::Currency;
      plan.source.declaredType = "CURRENCY";
      break;
    case MDB_FLOAT:
      plan.kind = Kind::Single;
      plan.source.declaredType = "FLOAT";
      break;
    case MDB_DOUBLE:
      plan.kind = Kind::Double;
      plan.source.declaredType = "DOUBLE";
      break;
    case MDB_DATETIME:
      plan.kind = Kind::Date;
      plan.source.declaredType = "DATETIME";
      break;
    case kTypeExtendedDate:
      plan.kind = Kind::ExtendedDate;
      plan.source.declaredType = "DATETIME";
      break;
    case MDB_TEXT:
      plan.kind = Kind::Text;
      plan.source.declaredType = "TEXT";
      break;
    // LONGTEXT keeps the engine's TEXT affinity: a memo holding "123" must stay text.
    case MDB_MEMO:
      plan.kind = Kind::Memo;
      plan.source.declaredType = "LONGTEXT";
      break;
    case MDB_BINARY:
      plan.kind = Kind::Binary;
      plan.source.declaredType = "BLOB";
      break;
    case MDB_OLE:
      plan.kind = Kind::Ole;
      plan.source.declaredType = "BLOB";
      break;
    case MDB_REPID:
      plan.kind = Kind::Guid;
      plan.source.declaredType = "CHAR(38)";
      break;
    case MDB_NUMERIC: {
      // libmdb 1.0 reads the descriptor's precision byte into col_scale and its scale byte into
      // col_prec; the names are swapped, the values are right.
      const int precision = col->col_scale;
      plan.scale = col->col_prec;
      plan.kind = Kind::Decimal;
      plan.source.declaredType =
          "DECIMAL(" + std::to_string(precision) + "," + std::to_string(plan.scale) + ")";
      break;
    }
    default:
      plan.kind = Kind::Raw;
      plan.source.declaredType = "BLOB";
      break;
  }
  return plan;
}

// Access gives every table and every column of a table a name of its own, compared without regard
// to case; an empty or repeated one comes from a damaged file and the engine could not create it.
template <typename Item, typename NameOf>
const Item* emptyOrRepeatedName(const std::vector<Item>& items, NameOf nameOf) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (nameOf(items[i]).empty()) return &items[i];
    for (std::size_t j = 0; j < i; ++j)
      if (base::sameName(nameOf(items[i]), nameOf(items[j]))) return &items[i];
  }
  return nullptr;
}

}  // namespace

struct MdbReader::State {
  MdbHandle* mdb = nullptr;
  int codePage = 1252;
  std::uint64_t pageCount = 0;
  std::filesystem::path file;
  // What the long values of the table being read may still add up to. In a sound file each
  // long-value row belongs to one value, so a table's long values together fit in the file; values
  // of a damaged file that share or loop through the same pages run out of this instead of making
  // every row read the whole file again.
  std::uint64_t longValueBytesLeft = 0;

  [[noreturn]] void damaged(const std::string& table, const std::string& detail) const {
    throw base::Error(base::kErrNotAccessFile, access::notAccessFileMessage(file) + " (tabla " +
                                                   table + ": " + detail + ")");
  }

  bool unicode() const { return mdb->f->jet_version != MDB_VER_JET3; }

  std::string text(Bytes bytes) const {
    return unicode() ? decodeUnicodeText(bytes) : decodeSingleByteText(bytes, codePage);
  }

  // The row `pgRow` (page << 8 | slot) of a long-value page, bounds-checked.
  Bytes longValueRow(std::uint32_t pgRow, const std::string& table) const {
    void* buffer = nullptr;
    int offset = 0;
    size_t length = 0;
    if ((pgRow >> 8) >= pageCount ||
        mdb_find_pg_row(mdb, static_cast<int>(pgRow), &buffer, &offset, &length) != 0 ||
        offset < 0 ||
        static_cast<std::size_t>(offset) + length > static_cast<std::size_t>(mdb->fmt->pg_size))
      damaged(table, "valor largo ilegible");
    return {static_cast<const unsigned char*>(buffer) + offset, length};
  }

  // A memo or OLE value: inline in the row, on one long-value page, or chained over several.
  std::vector<unsigned char> longValue(Bytes field, const std::string& table) {
    if (field.size() < 12) damaged(table, "valor largo truncado");
    const std::uint32_t header = le32(field, 0);
    const std::size_t length = header & 0x3FFFFFFF;
    const std::uint32_t kind = header & 0xC0000000;
    std::uint32_t pgRow = le32(field, 4);
    if (kind != 0x80000000) {
      if (length > longValueBytesLeft) damaged(table, "valores largos mayores que el archivo");
      longValueBytesLeft -= length;
    }
    if (kind == 0x80000000) {
      if (12 + length > field.size()) damaged(table, "valor largo truncado");
      return {field.begin() + 12, field.begin() + 12 + static_cast<std::ptrdiff_t>(length)};
    }
    if (kind == 0x40000000) {
      const Bytes row = longValueRow(pgRow, table);
      if (row.size() < length) damaged(table, "valor largo truncado");
      return {row.begin(), row.begin() + static_cast<std::ptrdiff_t>(length)};
    }
    if (kind != 0) damaged(table, "valor largo con formato desconocido");
    std::vector<unsigned char> out;
    out.reserve(std::min<std::size_t>(length, 1 << 20));
    // Each page of the chain is visited once at most: a longer chain is a loop in a damaged file.
    for (std::uint64_t hops = 0; out.size() < length; ++hops) {
      if (pgRow == 0 || hops > pageCount) damaged(table, "cadena de valor largo rota");
      const Bytes row = longValueRow(pgRow, table);
      if (row.size() < 4) damaged(table, "cadena de valor largo rota");
      const std::size_t take = std::min(row.size() - 4, length - out.size());
      out.insert(out.end(), row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
      pgRow = le32(row, 0);
    }
    return out;
  }

  base::Value decode(const ColumnPlan& plan, const MdbField& field, const std::string& table) {
    if (plan.kind == Kind::Boolean && !plan.calculated) {
      // A Yes/No value lives in the row's null mask: a set bit is Yes.
      return std::int64_t{field.is_null ? 0 : -1};
    }
    if (field.is_null) return std::monostate{};
    const int pageSize = mdb->fmt->pg_size;
    if (field.start < 0 || field.siz < 0 || field.start + field.siz > pageSize)
      damaged(table, "fila con desplazamientos fuera de la página");
    Bytes bytes{mdb->pg_buf + field.start, static_cast<std::size_t>(field.siz)};
    if (plan.calculated) {
      // A 16-byte header, the value's length, then the value.
      if (bytes.size() < 20) damaged(table, "valor calculado truncado");
      const std::size_t length = le32(bytes, 16);
      if (length > bytes.size() - 20) damaged(table, "valor calculado truncado");
      if (length == 0) return std::monostate{};
      bytes = bytes.subspan(20, length);
    }
    auto need = [&](std::size_t size) {
      if (bytes.size() < size) damaged(table, "valor de tamaño incorrecto en " + plan.source.name);
    };
    switch (plan.kind) {
      case Kind::Boolean:
        need(1);
        return std::int64_t{bytes[0] != 0 ? -1 : 0};
      case Kind::Byte:
        need(1);
        return std::int64_t{bytes[0]};
      case Kind::Int16:
        need(2);
        return std::int64_t{load<std::int16_t>(bytes)};
      case Kind::Int32:
        need(4);
        return std::int64_t{load<std::int32_t>(bytes)};
      case Kind::Int64:
        need(8);
        return std::int64_t{load<std::int64_t>(bytes)};
      case Kind::Single:
        need(4);
        return static_cast<double>(load<float>(bytes));
      case Kind::Double:
        need(8);
        return load<double>(bytes);
      case Kind::Currency:
        need(8);
        return exact(currencyText(load<std::int64_t>(bytes)), plan, table);
      case Kind::Decimal: {
        need(17);
        auto text = decimalText(bytes, plan.scale);
        if (!text) damaged(table, "decimal ilegible en " + plan.source.name);
        return exact(*text, plan, table);
      }
      case Kind::Date: {
        need(8);
        const double serial = load<double>(bytes);
        if (auto text = dateText(serial)) return *text;
        // Outside the years 1 to 9999 no date exists; the stored number is kept rather than lost.
        return serial;
      }
      case Kind::ExtendedDate: {
        need(42);
        if (auto text = extendedDateText(bytes)) return *text;
        damaged(table, "fecha extendida ilegible en " + plan.source.name);
      }
      case Kind::Guid:
        need(16);
        return guidText(bytes);
      case Kind::Text:
        return text(bytes);
      case Kind::Memo: {
        const auto value = longValue(bytes, table);
        return text(value);
      }
      case Kind::Ole:
        return base::Blob{longValue(bytes, table)};
      case Kind::Binary:
      case Kind::Raw:
        return base::Blob{{bytes.begin(), bytes.end()}};
    }
    return std::monostate{};
  }

  // Currency and decimal values are stored as numbers so that the rules compare them as numbers,
  // but only when the number keeps every digit.
  base::Value exact(const std::string& text, const ColumnPlan& plan,
                    const std::string& table) const {
    const auto number = exactNumber(text);
    if (!number) {
      throw base::Error(
          base::kErrNotAccessFile,
          "El valor " + text + " de la columna " + plan.source.name + " de la tabla " + table +
              " de " + platform::utf8(file) +
              " no se puede guardar sin perder dígitos. Redúzcalo en Access o cambie el "
              "tipo de la columna a Texto.");
    }
    if (number->isInteger) return number->integer;
    return number->real;
  }
};

MdbReader::MdbReader(const std::filesystem::path& file)
    : state_(std::make_unique<State>()), file_(file) {
  state_->file = file;
  state_->mdb = mdb_open(platform::utf8(file).c_str(), MDB_NOFLAGS);
  if (state_->mdb == nullptr || mdb_read_catalog(state_->mdb, MDB_ANY) == nullptr)
    throw base::Error(base::kErrNotAccessFile, access::notAccessFileMessage(file));
  MdbHandle* mdb = state_->mdb;
  if (mdb->f->code_page != 0) state_->codePage = mdb->f->code_page;
  std::error_code ec;
  state_->pageCount =
      std::filesystem::file_size(file, ec) / static_cast<std::uintmax_t>(mdb->fmt->pg_size);
  checkCatalogueWhole();
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
    if (g_ascii_strncasecmp(entry->object_name, "MSys", 4) == 0) continue;
    SourceTable table;
    table.name = entry->object_name;
    if (MdbTableDef* def = mdb_read_table(entry)) {
      table.rowEstimate = def->num_rows;
      mdb_free_tabledef(def);
    }
    tables_.push_back(std::move(table));
  }
  if (const auto* bad = emptyOrRepeatedName(tables_, [](const SourceTable& t) { return t.name; }))
    state_->damaged(bad->name, "nombre de tabla vacío o repetido en el catálogo");
}

// libmdb reads the pages a file cut short lacks as nothing: the catalogue then comes back with
// fewer objects, or none, and the file would pass for a database without the tables it has. The
// catalogue table's own definition keeps its row count, as every table's does, and every table
// definition it names must lie inside the file.
void MdbReader::checkCatalogueWhole() const {
  MdbHandle* mdb = state_->mdb;
  MdbCatalogEntry objects{};
  objects.mdb = mdb;
  g_strlcpy(objects.object_name, "MSysObjects", sizeof objects.object_name);
  objects.object_type = MDB_TABLE;
  objects.table_pg = kCataloguePage;
  MdbTableDef* def = kCataloguePage < state_->pageCount ? mdb_read_table(&objects) : nullptr;
  if (def == nullptr) state_->damaged("MSysObjects", "definición ilegible");
  const auto rows = static_cast<std::uint64_t>(def->num_rows);
  mdb_free_tabledef(def);
  if (rows != mdb->num_catalog)
    state_->damaged("MSysObjects", "se leyeron " + std::to_string(mdb->num_catalog) + " de " +
                                       std::to_string(rows) + " filas");
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && entry->table_pg >= state_->pageCount)
      state_->damaged(entry->object_name, "definición fuera del archivo");
  }
}

MdbReader::~MdbReader() {
  if (state_->mdb != nullptr) mdb_close(state_->mdb);
}

void MdbReader::readTable(const std::string& name,
                          const std::function<void(const std::vector<SourceColumn>&)>& onColumns,
                          const RowSink& onRow) {
  MdbHandle* mdb = state_->mdb;
  MdbCatalogEntry* entry = nullptr;
  for (unsigned i = 0; i < mdb->num_catalog && entry == nullptr; ++i) {
    auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (candidate->object_type == MDB_TABLE && name == candidate->object_name) entry = candidate;
  }
  if (entry == nullptr) state_->damaged(name, "no está en el catálogo");
  MdbTableDef* table = mdb_read_table(entry);
  if (table == nullptr) state_->damaged(name, "definición ilegible");
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(table, mdb_free_tabledef);
  if (mdb_read_columns(table) == nullptr || table->num_cols == 0 || table->num_cols > 4096)
    state_->damaged(name, "columnas ilegibles");

  const bool calculatedColumns = mdb->f->jet_version >= MDB_VER_ACCDB_2010;
  std::vector<ColumnPlan> plans;
  std::vector<SourceColumn> columns;
  for (unsigned i = 0; i < table->num_cols; ++i) {
    plans.push_back(
        planFor(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)), calculatedColumns));
    columns.push_back(plans.back().source);
  }
  if (emptyOrRepeatedName(columns, [](const SourceColumn& c) { return c.name; }) != nullptr)
    state_->damaged(name, "nombres de columna vacíos o repetidos");
  onColumns(columns);

  std::error_code ec;
  state_->longValueBytesLeft = std::filesystem::file_size(file_, ec);
  std::vector<MdbField> fields(table->num_cols);
  std::vector<base::Value> row(table->num_cols);
  mdb_rewind_table(table);
  table->cur_pg_num = 1;
  const int rowCountOffset = mdb->fmt->row_count_offset;
  std::uint64_t rowsRead = 0;
  while (mdb_read_next_dpg(table)) {
    const int slots = mdb_get_int16(mdb->pg_buf, rowCountOffset);
    if (slots < 0 || rowCountOffset + 2 + slots * 2 > mdb->fmt->pg_size)
      state_->damaged(name, "página de datos ilegible");
    for (int slot = 0; slot < slots; ++slot) {
      int start = 0;
      size_t size = 0;
      if (mdb_find_row(mdb, slot, &start, &size) == -1)
        state_->damaged(name, "posición de fila fuera de la página");
      if (size == 0) continue;
      if (start & kSlotNotARow) continue;
      start &= kSlotOffsetMask;
      if (mdb_crack_row(table, start, size, fields.data()) < 0)
        state_->damaged(name, "fila ilegible");
      for (unsigned i = 0; i < table->num_cols; ++i)
        row[i] = state_->decode(plans[i], fields[i], name);
      onRow(row);
      ++rowsRead;
    }
  }
  // libmdb ends a table quietly at the first page it cannot read; the count the table definition
  // keeps is what tells a complete table from one cut short.
  if (rowsRead != table->num_rows) {
    state_->damaged(name, "se leyeron " + std::to_string(rowsRead) + " de " +
                              std::to_string(table->num_rows) + " filas");
  }
}

}  // namespace kolt::access
