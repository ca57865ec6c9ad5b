#include "xls/workbook.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-proxy.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <span>
#include <stdexcept>
#include <system_error>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"
#include "base/utf8.h"
#include "xls/biff8_page_header.h"
#include "xls/biff8_records.h"
#include "xls/biff8_sheet.h"
#include "xls/biff8_sheet_names.h"
#include "xls/biff8_text.h"
#include "xls/biff8_workbook.h"

namespace kolt::xls {
namespace {

namespace fs = std::filesystem;
using base::Error;
using base::kErrDiskFull;
using base::kErrWorkbook;
using biff8::Bytes;
using biff8::ByteView;

constexpr const char* kStreamName = "Workbook";

[[noreturn]] void fail(std::string description) {
  throw Error(kErrWorkbook, std::move(description));
}

std::string quoted(const fs::path& path) {
  return "\"" + platform::utf8(path) + "\"";
}

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

std::string takeMessage(GError* error) {
  std::string message = error != nullptr ? error->message : "error desconocido";
  if (error != nullptr) g_error_free(error);
  return message;
}

// What errno holds after a library call failed, or a plain input/output error when the library
// left it unset.
std::error_code lastErrorOr(int fallback) {
  return {errno != 0 ? errno : fallback, std::system_category()};
}

[[noreturn]] void refuse(const fs::path& path, const std::string& detail) {
  throw Error(kErrWorkbook,
              "El archivo " + quoted(path) +
                  " no es un libro de Excel escrito por este programa o está dañado. Bórrelo o "
                  "muévalo a otra carpeta y vuelva a ejecutar la validación.",
              base::detailOf(path, detail));
}

// libgsf registers each of its classes the first time it is asked for it, with no lock: two
// units saving their first workbooks at the same moment can both register "GsfOutput", and the
// loser gets an invalid type and crashes. Every class this file uses is registered here, once,
// before any thread touches one.
void registerGsfClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    for (GType type :
         {gsf_input_stdio_get_type(), gsf_infile_msole_get_type(), gsf_input_memory_get_type(),
          gsf_input_proxy_get_type(), gsf_output_stdio_get_type(), gsf_outfile_msole_get_type(),
          gsf_output_memory_get_type()})
      g_type_class_unref(g_type_class_ref(type));
  });
}

// The Workbook stream of the compound file at `path`.
Bytes readWorkbookStream(const fs::path& path) {
  registerGsfClasses();
  GError* error = nullptr;
  GPtr<GsfInput> file(gsf_input_stdio_new(platform::utf8(path).c_str(), &error));
  if (!file)
    throw Error(
        kErrWorkbook,
        "No se pudo abrir el libro " + quoted(path) +
            ". Compruebe que el archivo no esté abierto en otro programa y que pueda leerse.",
        base::detailOf(path, takeMessage(error)));
  GPtr<GsfInfile> container(gsf_infile_msole_new(file.get(), &error));
  if (!container) refuse(path, takeMessage(error));
  GPtr<GsfInput> stream(gsf_infile_child_by_name(container.get(), kStreamName));
  if (!stream) refuse(path, "no contiene el flujo \"Workbook\"");

  // A damaged directory can claim any size; the stream cannot be larger than the file.
  std::error_code sizeError;
  const std::uintmax_t fileSize = fs::file_size(path, sizeError);
  const gsf_off_t size = gsf_input_size(stream.get());
  if (sizeError || size < 0 || static_cast<std::uintmax_t>(size) > fileSize ||
      static_cast<std::uintmax_t>(size) > biff8::kMaxStreamSize)
    refuse(path, "su flujo de datos tiene un tamaño imposible");
  Bytes bytes(static_cast<std::size_t>(size));
  if (!bytes.empty() && gsf_input_read(stream.get(), bytes.size(), bytes.data()) == nullptr)
    refuse(path, "su flujo de datos no pudo leerse completo");
  return bytes;
}

biff8::WorkbookContents parseWorkbook(const fs::path& path, ByteView stream) {
  try {
    return biff8::readWorkbook(stream);
  } catch (const biff8::MalformedWorkbook& e) {
    refuse(path, e.what());
  }
}

[[noreturn]] void failWrite(const fs::path& target, const std::error_code& error) {
  if (platform::noRoomLeft(error))
    throw Error(kErrDiskFull,
                "No queda espacio en el disco para escribir el libro " + quoted(target.filename()) +
                    " en la carpeta " + quoted(target.parent_path()) +
                    ". Libere espacio y vuelva a ejecutar la validación.",
                base::detailOf(target, error.message()));
  throw Error(kErrWorkbook,
              "No se pudo escribir el libro " + quoted(target.filename()) + " en la carpeta " +
                  quoted(target.parent_path()) + base::becauseOf(error) +
                  ". Compruebe que tiene permiso de escritura en la carpeta, que hay espacio en "
                  "el disco y que el libro no está abierto en otro programa.",
              base::detailOf(target, error.message()));
}

// The sheets' substreams, one after another, in a file without a name: the system removes it
// when it is closed, whatever way the program ends.
class Spool {
 public:
  explicit Spool(const fs::path& target) : target_(target) {
    std::error_code error;
    file_ = platform::openSpoolFile(target, error);
    if (!file_.isOpen()) failWrite(target, error);
  }

  void append(ByteView bytes) {
    if (const std::error_code error = file_.write(bytes.data(), bytes.size()))
      failWrite(target_, error);
    size_ += bytes.size();
  }
  std::uint64_t size() const { return size_; }

  // `count` bytes spooled from `from` on into `out`, through `buffer`.
  void copyTo(GsfOutput* out, std::uint64_t from, std::uint64_t count,
              std::vector<std::uint8_t>& buffer) const {
    for (const std::uint64_t end = from + count; from < end;) {
      std::error_code error;
      const std::size_t n = file_.readSomeAt(
          from, buffer.data(),
          static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - from)), error);
      if (error) failWrite(target_, error);
      if (n == 0) failWrite(target_, std::error_code(EIO, std::system_category()));
      if (!gsf_output_write(out, n, buffer.data())) failWrite(target_, lastErrorOr(EIO));
      from += n;
    }
  }

 private:
  fs::path target_;
  platform::File file_;
  std::uint64_t size_ = 0;
};

// Whether a workbook is already at `path`; anything there that is not a file is refused.
bool workbookExists(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return false;
  if (error)
    throw Error(kErrWorkbook,
                "No se pudo consultar el libro " + quoted(path) + base::becauseOf(error) +
                    ". Compruebe que la carpeta existe y que tiene permiso para leerla.",
                base::detailOf(path, error.message()));
  if (status.type() != fs::file_type::regular)
    fail(quoted(path) + " no es un archivo. Quite lo que ocupa ese nombre y vuelva a ejecutar la " +
         "validación.");
  return true;
}

void checkColumns(std::string_view table, const std::vector<SheetColumn>& columns) {
  if (columns.size() > biff8::kMaxColumns)
    fail("La tabla \"" + std::string(table) + "\" tiene " + std::to_string(columns.size()) +
         " columnas y una hoja de Excel 97-2003 admite " + std::to_string(biff8::kMaxColumns) +
         ". Reduzca las columnas de la tabla para poder exportarla.");
}

void checkRow(std::string_view table, const std::vector<SheetColumn>& columns, const Row& row,
              std::size_t number) {
  if (row.size() != columns.size())
    fail("La fila " + std::to_string(number) + " de la tabla \"" + std::string(table) +
         "\" tiene " + std::to_string(row.size()) + " valores para " +
         std::to_string(columns.size()) +
         " columnas; la hoja no se escribió. Es un error del programa: avise a quien lo "
         "mantiene.");
}

// A call that names a sheet the workbook does not have: the caller's fault, which must not end in
// a workbook laid out on the wrong sheet.
void checkSheetIndex(const fs::path& workbook, std::size_t sheet, std::size_t count) {
  if (sheet >= count || sheet > UINT16_MAX)
    fail("Se pidió la hoja de índice " + std::to_string(sheet) + " del libro " + quoted(workbook) +
         ", que tiene " + std::to_string(count) +
         " hojas. Es un error del programa: avise a quien lo mantiene.");
}

[[noreturn]] void failTooLarge(const fs::path& workbook, std::string_view sheetName) {
  fail("El libro " + quoted(workbook) + " superaría los 2 GB que admite el formato de Excel " +
       "97-2003; la hoja \"" + std::string(sheetName) + "\" no se agregó. Valide un periodo " +
       "más corto para obtener libros más pequeños.");
}

}  // namespace

struct Workbook::State {
  explicit State(fs::path target, const biff8::SharedStrings::Contents& old = {})
      : file(std::move(target)), spool(file), strings(old.strings, old.references) {}

  // A sheet's substream waits in the spool without a page header and not active; save() writes
  // both in as it copies it, so that they can be settled after the sheet is written.
  struct SpooledSheet {
    std::u16string name;
    std::size_t size = 0;  // of its substream in the spool
    biff8::Bytes header;   // its page header's records; empty for none
  };

  fs::path file;
  Spool spool;
  biff8::SharedStrings strings;
  std::vector<SpooledSheet> sheets;
  std::size_t activeSheet = 0;

  // The sheets' substreams, in order, into `out`, each with its page header and its view.
  void copySheets(GsfOutput* out) const;
};

void Workbook::State::copySheets(GsfOutput* out) const {
  const auto put = [&](ByteView bytes) {
    if (!bytes.empty() && !gsf_output_write(out, bytes.size(), bytes.data()))
      failWrite(file, lastErrorOr(EIO));
  };
  const std::size_t headerAt = biff8::pageHeaderOffset();
  std::vector<std::uint8_t> buffer(1 << 20);
  std::uint64_t at = 0;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const SpooledSheet& sheet = sheets[i];
    const std::size_t flagsAt = biff8::viewFlagsOffset(sheet.size);
    biff8::StreamWriter flags;
    flags.u16(biff8::viewFlags(i == activeSheet));
    spool.copyTo(out, at, headerAt, buffer);
    put(sheet.header);
    spool.copyTo(out, at + headerAt, flagsAt - headerAt, buffer);
    put(flags.bytes());
    spool.copyTo(out, at + flagsAt + flags.size(), sheet.size - flagsAt - flags.size(), buffer);
    at += sheet.size;
  }
}

Workbook::Workbook(std::filesystem::path file) : state_(std::make_unique<State>(std::move(file))) {}

Workbook Workbook::extending(std::filesystem::path file) {
  if (!workbookExists(file)) return Workbook(std::move(file));
  const Bytes stream = readWorkbookStream(file);
  const biff8::WorkbookContents old = parseWorkbook(file, stream);
  Workbook book(std::make_unique<State>(std::move(file), old.strings));
  State& s = *book.state_;
  const std::size_t headerAt = biff8::pageHeaderOffset();
  for (const biff8::Sheet& sheet : old.sheets) {
    const ByteView header = sheet.substream.subspan(headerAt, sheet.headerSize);
    s.spool.append(sheet.substream.first(headerAt));
    s.spool.append(sheet.substream.subspan(headerAt + sheet.headerSize));
    s.sheets.push_back({sheet.name, sheet.substream.size() - sheet.headerSize,
                        biff8::Bytes(header.begin(), header.end())});
  }
  s.activeSheet = old.activeSheet;
  return book;
}

Workbook::Workbook(std::unique_ptr<State> state) : state_(std::move(state)) {}

Workbook::~Workbook() = default;
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;

std::size_t Workbook::sheetCount() const {
  return state_->sheets.size();
}

std::vector<std::string> Workbook::sheetNames() const {
  std::vector<std::string> names;
  for (const State::SpooledSheet& sheet : state_->sheets)
    names.push_back(biff8::utf16ToUtf8(sheet.name));
  return names;
}

void Workbook::setPageHeader(std::size_t sheet, PageHeader header) {
  checkSheetIndex(state_->file, sheet, state_->sheets.size());
  state_->sheets[sheet].header = biff8::pageHeaderRecords(biff8::pageHeaderString(header));
}

void Workbook::setActiveSheet(std::size_t sheet) {
  checkSheetIndex(state_->file, sheet, state_->sheets.size());
  state_->activeSheet = sheet;
}

const std::filesystem::path& Workbook::file() const {
  return state_->file;
}

std::size_t Workbook::addSheet(std::string_view sheetName, const std::vector<SheetColumn>& columns,
                               const RowSource& rows) {
  checkColumns(sheetName, columns);
  State& s = *state_;
  std::vector<std::u16string> taken;
  for (const State::SpooledSheet& sheet : s.sheets) taken.push_back(sheet.name);
  const std::u16string base = biff8::cleanSheetName(base::utf16FromUtf8(sheetName));

  // One part per kRowsPerSheet rows, read one row ahead to know whether another part follows; a
  // table without rows still gets its sheet with the header.
  std::vector<Row> part;
  Row row;
  bool more = rows(row);
  std::size_t count = 0;
  for (std::size_t number = 1; number == 1 || more; ++number) {
    part.clear();
    while (more && part.size() < kRowsPerSheet) {
      checkRow(sheetName, columns, row, ++count);
      part.push_back(std::move(row));
      row = Row();
      more = rows(row);
    }
    std::u16string name = biff8::claimSheetName(base, number, taken);
    taken.push_back(name);
    Bytes substream;
    try {
      substream = biff8::writeSheet(columns, part, s.strings);
    } catch (const std::bad_alloc&) {
      fail("No hubo memoria suficiente para escribir la hoja \"" + std::string(sheetName) +
           "\" en el libro " + quoted(s.file) + ". Cierre otros programas y vuelva a intentarlo.");
    }
    if (s.spool.size() + substream.size() > biff8::kMaxStreamSize) failTooLarge(s.file, sheetName);
    s.spool.append(substream);
    s.sheets.push_back({std::move(name), substream.size(), {}});
  }
  return count;
}

std::size_t Workbook::addSheet(std::string_view sheetName, const std::vector<SheetColumn>& columns,
                               const std::vector<Row>& rows) {
  std::size_t next = 0;
  return addSheet(sheetName, columns, [&](Row& row) {
    if (next == rows.size()) return false;
    row = rows[next++];
    return true;
  });
}

void Workbook::save() {
  registerGsfClasses();
  State& s = *state_;
  std::vector<biff8::SheetSize> sizes;
  for (const State::SpooledSheet& sheet : s.sheets)
    sizes.push_back({sheet.name, sheet.size + sheet.header.size()});
  Bytes globals;
  try {
    globals = biff8::writeGlobals(sizes, s.strings, s.activeSheet);
  } catch (const std::length_error&) {
    failTooLarge(s.file, biff8::utf16ToUtf8(s.sheets.empty() ? u"" : s.sheets.back().name));
  }

  // The new workbook under a temporary name beside its own, under its name only once it is whole
  // and on disk: a crash cannot leave an empty or torn file under the workbook's name.
  fs::path temporary;
  std::error_code error;
  platform::File file = platform::createBeside(s.file, ".tmp", temporary, error);
  if (!file.isOpen()) failWrite(s.file, error);
  const std::error_code renamed = base::replaceFile(temporary, s.file, [&] {
    std::FILE* stream = file.openStream("wb", error);
    if (stream == nullptr) failWrite(s.file, error);
    {
      errno = 0;
      GPtr<GsfOutput> sink(gsf_output_stdio_new_FILE(platform::utf8(s.file).c_str(), stream, TRUE));
      GPtr<GsfOutfile> container(sink ? gsf_outfile_msole_new(sink.get()) : nullptr);
      GPtr<GsfOutput> child(container ? gsf_outfile_new_child(container.get(), kStreamName, FALSE)
                                      : nullptr);
      if (!child || !gsf_output_write(child.get(), globals.size(), globals.data())) {
        const std::error_code failure = lastErrorOr(EIO);
        std::fclose(stream);
        failWrite(s.file, failure);
      }
      try {
        s.copySheets(child.get());
      } catch (...) {
        std::fclose(stream);
        throw;
      }
      const bool closed = gsf_output_close(child.get()) &&
                          gsf_output_close(GSF_OUTPUT(container.get())) &&
                          (gsf_output_is_closed(sink.get()) || gsf_output_close(sink.get()));
      if (!closed) {
        const std::error_code failure = lastErrorOr(EIO);
        std::fclose(stream);
        failWrite(s.file, failure);
      }
    }
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream)) {
      const std::error_code failure = lastErrorOr(EIO);
      std::fclose(stream);
      failWrite(s.file, failure);
    }
    std::fclose(stream);
    if (const std::error_code failure = file.sync()) failWrite(s.file, failure);
    if (const std::error_code failure = file.close()) failWrite(s.file, failure);
  });
  if (renamed) failWrite(s.file, renamed);
}

void appendSheet(const std::filesystem::path& workbook, std::string_view sheetName,
                 const std::vector<SheetColumn>& columns, const std::vector<Row>& rows) {
  Workbook book = Workbook::extending(workbook);
  book.addSheet(sheetName, columns, rows);
  book.save();
}

std::vector<std::string> sheetNames(const std::filesystem::path& workbook) {
  if (!workbookExists(workbook))
    fail("El libro " + quoted(workbook) + " no existe. Compruebe la carpeta de resultados.");
  const Bytes stream = readWorkbookStream(workbook);
  const biff8::WorkbookContents contents = parseWorkbook(workbook, stream);
  std::vector<std::string> names;
  for (const biff8::Sheet& sheet : contents.sheets) names.push_back(biff8::utf16ToUtf8(sheet.name));
  return names;
}

}  // namespace kolt::xls
