#include "db/workbook.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <random>
#include <span>
#include <stdexcept>
#include <system_error>

#include "db/biff8_records.h"
#include "db/biff8_sheet.h"
#include "db/biff8_sheet_names.h"
#include "db/biff8_text.h"
#include "db/biff8_workbook.h"
#include "db/error.h"

namespace kolt::db {
namespace {

namespace fs = std::filesystem;
using biff8::Bytes;
using biff8::ByteView;

constexpr const char* kStreamName = "Workbook";

[[noreturn]] void fail(std::string description) {
  throw DbError(kErrWorkbook, std::move(description));
}

std::string quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
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

std::string systemMessage(int error) {
  return std::system_category().message(error);
}

[[noreturn]] void refuse(const fs::path& path, const std::string& detail) {
  fail("El archivo " + quoted(path) +
       " no es un libro de Excel escrito por este programa o está dañado (" + detail +
       "). Bórrelo o muévalo a otra carpeta y vuelva a ejecutar la validación.");
}

// The Workbook stream of the compound file at `path`.
Bytes readWorkbookStream(const fs::path& path) {
  GError* error = nullptr;
  GPtr<GsfInput> file(gsf_input_stdio_new(path.c_str(), &error));
  if (!file)
    fail("No se pudo abrir el libro " + quoted(path) + " (" + takeMessage(error) +
         "). Compruebe que el archivo no esté abierto en otro programa y que pueda leerse.");
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

[[noreturn]] void failInMemory() {
  fail(
      "No se pudo armar el libro de Excel en memoria. Cierre otros programas y vuelva a "
      "intentarlo.");
}

// `stream` as the only stream of an OLE2 compound file, in memory.
Bytes packCompoundFile(const Bytes& stream) {
  GPtr<GsfOutput> sink(gsf_output_memory_new());
  {
    GPtr<GsfOutfile> container(gsf_outfile_msole_new(sink.get()));
    GPtr<GsfOutput> child(gsf_outfile_new_child(container.get(), kStreamName, FALSE));
    const bool written = child && gsf_output_write(child.get(), stream.size(), stream.data()) &&
                         gsf_output_close(child.get());
    const bool closed = gsf_output_close(GSF_OUTPUT(container.get()));
    if (!written || !closed) failInMemory();
  }
  if (!gsf_output_is_closed(sink.get()) && !gsf_output_close(sink.get())) failInMemory();
  const gsf_off_t size = gsf_output_size(sink.get());
  const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  if (size <= 0 || data == nullptr) failInMemory();
  return Bytes(data, data + size);
}

// Removes a temporary file unless the rename that publishes it took place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target) : target_(target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
      path_ = folder / (target.filename().string() + suffix);
      // O_EXCL: never reuse a file someone else made. Mode 0666 lets the umask decide, as for any
      // file the user creates.
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) failWrite(errno);
  }

  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!published_) ::unlink(path_.c_str());
  }

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failWrite(errno);
      done += static_cast<std::size_t>(n);
    }
    // On disk before it replaces the old workbook, so that a crash cannot leave an empty file
    // under the workbook's name.
    if (::fsync(fd_) != 0) failWrite(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) failWrite(errno);
  }

  void publish() {
    if (::rename(path_.c_str(), target_.c_str()) != 0) failWrite(errno);
    published_ = true;
  }

 private:
  [[noreturn]] void failWrite(int error) const {
    if (error == ENOSPC || error == EFBIG || error == EDQUOT)
      throw DbError(kErrDiskFull, "No queda espacio en el disco para escribir el libro " +
                                      quoted(target_) + " (" + systemMessage(error) +
                                      "). Libere espacio y vuelva a ejecutar la validación.");
    fail("No se pudo escribir el libro " + quoted(target_) + " (" + systemMessage(error) +
         "). Compruebe que la carpeta exista y admita escritura, que haya espacio en el disco y " +
         "que el libro no esté abierto en otro programa.");
  }

  fs::path target_;
  fs::path path_;
  int fd_ = -1;
  bool published_ = false;
};

// Whether a workbook is already at `path`; anything there that is not a file is refused.
bool workbookExists(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return false;
  if (error)
    fail("No se pudo consultar el libro " + quoted(path) + " (" + error.message() +
         "). Compruebe que la carpeta exista y pueda leerse.");
  if (status.type() != fs::file_type::regular)
    fail(quoted(path) + " no es un archivo. Quite lo que ocupa ese nombre y vuelva a ejecutar la " +
         "validación.");
  return true;
}

void checkShape(std::string_view sheetName, const std::vector<SheetColumn>& columns,
                const std::vector<Row>& rows) {
  const std::string table = "\"" + std::string(sheetName) + "\"";
  if (columns.size() > biff8::kMaxColumns)
    fail("La tabla " + table + " tiene " + std::to_string(columns.size()) +
         " columnas y una hoja de Excel 97-2003 admite " + std::to_string(biff8::kMaxColumns) +
         ". Reduzca las columnas de la tabla para poder exportarla.");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != columns.size())
      fail("La fila " + std::to_string(r + 1) + " de la tabla " + table + " tiene " +
           std::to_string(rows[r].size()) + " valores para " + std::to_string(columns.size()) +
           " columnas; la hoja no se escribió. Es un error del programa: avise a quien lo "
           "mantiene.");
  }
}

// The workbook stream of `old` with the sheet (or sheets, past kRowsPerSheet rows) appended.
Bytes buildStream(const biff8::WorkbookContents& old, std::string_view sheetName,
                  const std::vector<SheetColumn>& columns, const std::vector<Row>& rows) {
  biff8::SharedStrings strings(old.strings.strings, old.strings.references);
  std::vector<biff8::Sheet> sheets = old.sheets;
  std::vector<std::u16string> taken;
  for (const biff8::Sheet& sheet : sheets) taken.push_back(sheet.name);

  // `sheets` points into these substreams.
  std::vector<Bytes> added;
  const std::u16string base = biff8::cleanSheetName(biff8::utf8ToUtf16(sheetName));
  const std::size_t parts = rows.empty() ? 1 : (rows.size() + kRowsPerSheet - 1) / kRowsPerSheet;
  added.reserve(parts);
  for (std::size_t part = 0; part < parts; ++part) {
    const std::size_t first = part * kRowsPerSheet;
    const std::size_t count = std::min(kRowsPerSheet, rows.size() - first);
    std::u16string name = biff8::claimSheetName(base, part + 1, taken);
    taken.push_back(name);
    added.push_back(
        biff8::writeSheet(columns, std::span(rows).subspan(first, count), strings, sheets.empty()));
    sheets.push_back({std::move(name), added.back()});
  }
  return biff8::writeWorkbook(sheets, strings);
}

}  // namespace

void appendSheet(const std::filesystem::path& workbook, std::string_view sheetName,
                 const std::vector<SheetColumn>& columns, const std::vector<Row>& rows) {
  checkShape(sheetName, columns, rows);

  Bytes oldStream;
  biff8::WorkbookContents old;
  if (workbookExists(workbook)) {
    oldStream = readWorkbookStream(workbook);
    old = parseWorkbook(workbook, oldStream);
  }

  Bytes stream;
  try {
    stream = buildStream(old, sheetName, columns, rows);
  } catch (const std::length_error&) {
    fail("El libro " + quoted(workbook) + " superaría los 2 GB que admite el formato de Excel " +
         "97-2003; la hoja \"" + std::string(sheetName) + "\" no se agregó. Valide un periodo " +
         "más corto para obtener libros más pequeños.");
  } catch (const std::bad_alloc&) {
    fail("No hubo memoria suficiente para escribir la hoja \"" + std::string(sheetName) +
         "\" en el libro " + quoted(workbook) + ". Cierre otros programas y vuelva a intentarlo.");
  }
  const Bytes file = packCompoundFile(stream);

  TemporaryFile temporary(workbook);
  temporary.write(file);
  temporary.publish();
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

}  // namespace kolt::db
