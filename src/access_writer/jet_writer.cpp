#include "access_writer/jet_writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

#include "access_writer/catalogue.h"
#include "access_writer/data_page.h"
#include "access_writer/definition_page.h"
#include "access_writer/field_values.h"
#include "access_writer/page_layout.h"
#include "access_writer/row_encoding.h"
#include "access_writer/text_encoding.h"
#include "access_writer/usage_map.h"
#include "base/error.h"
#include "base/names.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/utf8.h"

namespace kolt::access_writer {
namespace {

// The first page of usage-map records; later ones are taken as needed.
constexpr std::uint32_t kFirstMapPage = 1;
constexpr std::size_t kLongValueChunk = kPageSize - 14 - 2 - 4;
// A memo's length has 24 bits for some readers.
constexpr std::size_t kMaxMemoBytes = 0xFFFFFF;

double nowSerial() {
  using namespace std::chrono;
  const double unixDays =
      duration<double>(system_clock::now().time_since_epoch()).count() / 86400.0;
  return unixDays + 25569.0;  // 1970-01-01 is day 25,569 of the Access calendar
}

struct Table {
  std::string name;
  TableLayout layout;
  std::uint32_t definitionPage = 0;
  std::uint32_t rows = 0;
  bool system = false;
  PageSet pages;
  DataPage page;
  std::uint32_t pageNumber = 0;

  Table(std::string n, TableLayout l, std::uint32_t definition, bool sys)
      : name(std::move(n)),
        layout(std::move(l)),
        definitionPage(definition),
        system(sys),
        page(definition) {}
};

}  // namespace

struct JetWriter::State {
  std::filesystem::path file;
  platform::File out;
  std::uint32_t pageCount = 3;  // the definition page, the first map page, the catalogue's
  double created = nowSerial();
  std::optional<Table> table;
  std::vector<std::pair<std::string, std::uint32_t>> written;  // (name, definition page)
  DataPage mapPage{0};
  std::uint32_t mapPageNumber = kFirstMapPage;
  std::vector<Field> fields;
  std::vector<unsigned char> row;

  [[noreturn]] void fileError(const std::string& what) const {
    throw base::Error(base::kErrFile,
                      "No se puede escribir el archivo " + platform::utf8(file) + " (" + what +
                          "). Compruebe el espacio libre y el permiso de escritura.");
  }

  std::uint32_t allocate(std::uint32_t count = 1) {
    if (pageCount + count > kMaxPages)
      throw base::Error(base::kErrFile,
                        "El archivo " + platform::utf8(file) +
                            " pasaría de 2 GB, el tamaño máximo de una base de datos de "
                            "Access; exporte menos tablas o menos filas.");
    const std::uint32_t first = pageCount;
    pageCount += count;
    return first;
  }

  void writePage(std::uint32_t number, const Page& page) const {
    const auto offset = static_cast<std::uint64_t>(number) * kPageSize;
    std::size_t done = 0;
    while (done < kPageSize) {
      std::error_code error;
      const std::size_t n =
          out.writeSomeAt(offset + done, page.data() + done, kPageSize - done, error);
      if (error) fileError(error.message());
      if (n == 0) fileError("escritura incompleta");
      done += n;
    }
  }

  std::uint32_t addMapRecord(const std::vector<unsigned char>& record) {
    if (!mapPage.fits(record.size())) {
      writePage(mapPageNumber, mapPage.bytes());
      mapPage.clear();
      mapPageNumber = allocate();
    }
    return pageRow(mapPageNumber, mapPage.add(record));
  }

  // A memo too long to keep in its row goes on long-value pages, one chunk per page, each chunk
  // led by the address of the next (0 after the last).
  std::uint32_t storeLongValue(const std::vector<unsigned char>& bytes) {
    const auto chunks =
        static_cast<std::uint32_t>((bytes.size() + kLongValueChunk - 1) / kLongValueChunk);
    const std::uint32_t first = allocate(chunks);
    DataPage page(DataPage::kLongValueOwner);
    std::vector<unsigned char> chunk;
    for (std::uint32_t i = 0; i < chunks; ++i) {
      const std::size_t from = i * kLongValueChunk;
      const std::size_t length = std::min(kLongValueChunk, bytes.size() - from);
      chunk.assign(4, 0);
      if (i + 1 < chunks) put32(chunk.data(), pageRow(first + i + 1, 0));
      chunk.insert(chunk.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from),
                   bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
      page.clear();
      page.add(chunk);
      writePage(first + i, page.bytes());
    }
    return pageRow(first, 0);
  }

  void open(const std::string& name, const std::vector<JetColumn>& columns,
            std::uint32_t definitionPage, bool system) {
    table.emplace(name, layOut(columns), definitionPage, system);
    table->pageNumber = allocate();
    table->pages.add(table->pageNumber);
  }

  void append(const std::vector<base::Value>& values) {
    Table& t = *table;
    const auto& columns = t.layout.columns;
    if (values.size() != columns.size())
      throw base::Error(base::kErrSyntax, "La fila " + std::to_string(t.rows + 1) +
                                              " de la tabla " + t.name + " trae " +
                                              std::to_string(values.size()) + " valores para " +
                                              std::to_string(columns.size()) + " columnas.");
    fields.resize(columns.size());
    try {
      for (std::size_t i = 0; i < columns.size(); ++i)
        encodeField(columns[i], values[i], fields[i]);
    } catch (const base::Error& e) {
      throw base::Error(e.number(), "Tabla " + t.name + ", fila " + std::to_string(t.rows + 1) +
                                        ": " + e.description());
    }
    placeMemos();
    const std::size_t size = rowSize(t.layout, fields);
    if (size > DataPage::kMaxRowSize)
      throw base::Error(base::kErrSyntax, "Tabla " + t.name + ", fila " +
                                              std::to_string(t.rows + 1) + ": la fila ocupa " +
                                              std::to_string(size) +
                                              " bytes y Access admite como mucho " +
                                              std::to_string(DataPage::kMaxRowSize) +
                                              "; guarde los textos largos en columnas Memo.");
    encodeRow(t.layout, fields, row);
    if (!t.page.fits(row.size())) {
      writePage(t.pageNumber, t.page.bytes());
      t.page.clear();
      t.pageNumber = allocate();
      t.pages.add(t.pageNumber);
    }
    t.page.add(row);
    if (++t.rows == 0)
      throw base::Error(base::kErrSyntax, "La tabla " + t.name + " pasa de 4.294.967.295 filas.");
  }

  // Memos stay in their row while the row fits a page, the largest going to long-value pages
  // first when it does not.
  void placeMemos() {
    Table& t = *table;
    std::vector<std::size_t> memos;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (t.layout.columns[i].column.type != ColumnType::Memo || fields[i].null) continue;
      if (fields[i].bytes.size() > kMaxMemoBytes)
        throw base::Error(base::kErrSyntax, "Tabla " + t.name + ", fila " +
                                                std::to_string(t.rows + 1) + ": el memo de «" +
                                                t.layout.columns[i].column.name +
                                                "» pasa de 16 MB.");
      inlineMemo(fields[i].bytes);
      memos.push_back(i);
    }
    std::sort(memos.begin(), memos.end(), [&](std::size_t a, std::size_t b) {
      return fields[a].bytes.size() > fields[b].bytes.size();
    });
    for (std::size_t i : memos) {
      if (rowSize(t.layout, fields) <= DataPage::kMaxRowSize) break;
      std::vector<unsigned char> value(fields[i].bytes.begin() + 12, fields[i].bytes.end());
      memoOnPages(fields[i].bytes, value.size(), storeLongValue(value));
    }
  }

  void close() {
    Table& t = *table;
    writePage(t.pageNumber, t.page.bytes());
    // The data-page map: one bitmap page for each stretch of the file holding pages of the table.
    std::vector<std::uint32_t> bitmapPages;
    for (std::uint32_t first = 0; first < t.pages.end(); first += kPagesPerBitmapPage) {
      if (!t.pages.anyIn(first, kPagesPerBitmapPage)) {
        bitmapPages.push_back(0);
        continue;
      }
      const std::uint32_t number = allocate();
      writePage(number, t.pages.bitmapPage(first));
      bitmapPages.push_back(number);
    }
    TableCounts counts;
    counts.rows = t.rows;
    counts.system = t.system;
    counts.usedPagesMap = addMapRecord(indirectMapRecord(bitmapPages));
    counts.freePagesMap = addMapRecord(emptyInlineMapRecord(t.definitionPage));
    writeDefinition(t.definitionPage, tableDefinition(t.layout, counts));
    if (!t.system) written.emplace_back(t.name, t.definitionPage);
    table.reset();
  }

  // The definition over its first page and as many more as it needs, each led by an 8-byte
  // header pointing at the next.
  void writeDefinition(std::uint32_t first, const std::vector<unsigned char>& bytes) {
    constexpr std::size_t kRoom = kPageSize - 8;
    const auto pages = static_cast<std::uint32_t>((bytes.size() + kRoom - 1) / kRoom);
    const std::uint32_t more = pages > 1 ? allocate(pages - 1) : 0;
    for (std::uint32_t i = 0; i < pages; ++i) {
      Page page{};
      page[0] = kTableDefinitionPageType;
      page[1] = 0x01;
      const std::size_t from = i * kRoom;
      const std::size_t length = std::min(kRoom, bytes.size() - from);
      put16(&page[2], static_cast<std::uint16_t>(kRoom - length));
      if (i + 1 < pages) put32(&page[4], more + i);
      std::memcpy(&page[8], bytes.data() + from, length);
      writePage(i == 0 ? first : more + i - 1, page);
    }
  }
};

JetWriter::JetWriter(const std::filesystem::path& file) : state_(std::make_unique<State>()) {
  state_->file = file;
  std::error_code error;
  state_->out = platform::File::createForWriting(file, error);
  if (error)
    throw base::Error(base::kErrFile, "No se puede crear el archivo " + platform::utf8(file) +
                                          " (" + error.message() +
                                          "). Compruebe que la carpeta existe y admite escritura.");
}

JetWriter::~JetWriter() = default;

void JetWriter::beginTable(const std::string& name, const std::vector<JetColumn>& columns) {
  if (!state_->out.isOpen())
    throw base::Error(base::kErrNotOpen, "El archivo de Access ya está cerrado.");
  if (state_->table) state_->close();
  const std::size_t length = base::utf16FromUtf8(name).size();
  if (length == 0 || length > 64)
    throw base::Error(
        base::kErrSyntax,
        "El nombre de tabla «" + name + "» no cabe en Access: debe tener de 1 a 64 caracteres.");
  bool taken = base::sameName(name, kCatalogueName);
  for (const auto& w : state_->written) taken = taken || base::sameName(w.first, name);
  if (taken)
    throw base::Error(base::kErrTableExists, "La tabla " + name + " ya existe en el archivo.");
  state_->open(name, columns, state_->allocate(), false);
}

void JetWriter::insert(const std::vector<base::Value>& row) {
  if (!state_->table)
    throw base::Error(base::kErrNotOpen, "No hay ninguna tabla abierta en el archivo.");
  state_->append(row);
}

void JetWriter::finish() {
  State& s = *state_;
  if (!s.out.isOpen())
    throw base::Error(base::kErrNotOpen, "El archivo de Access ya está cerrado.");
  if (s.table) s.close();
  s.open(kCatalogueName, catalogueColumns(), kCatalogueDefinitionPage, true);
  for (const auto& r : catalogueRows(s.written, s.created)) s.append(r);
  s.close();
  s.writePage(s.mapPageNumber, s.mapPage.bytes());
  s.writePage(0, definitionPage(s.created));
  if (const std::error_code error = s.out.sync()) s.fileError(error.message());
  if (const std::error_code error = s.out.close()) s.fileError(error.message());
}

}  // namespace kolt::access_writer
