#include "access/import.h"

#include <optional>
#include <system_error>

#include "access/progress_protocol.h"
#include "base/failure_words.h"
#include "base/platform/child_process.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"

namespace kolt::access {
namespace {

using access::ProgressEvent;

std::chrono::milliseconds timeoutFor(const ImportLimits& limits, std::uintmax_t fileSize) {
  if (limits.timeout.count() > 0) return limits.timeout;
  constexpr std::uintmax_t kBytesPerMinute = 50'000'000;
  return std::chrono::minutes(5 + fileSize / kBytesPerMinute);
}

// Processor time for reading a file of this size. A sound file needs a small part of it (imports
// run at tens of megabytes a second); a damaged one that sends the reader round in circles is
// stopped by it within seconds, where the wall-clock limits would let it burn a core for minutes.
std::uint64_t cpuSecondsFor(std::uintmax_t fileSize) {
  constexpr std::uintmax_t kBytesPerCpuSecond = 2'000'000;
  return 3 + fileSize / kBytesPerCpuSecond;
}

std::string seconds(std::chrono::milliseconds d) {
  return std::to_string((d.count() + 999) / 1000);
}

bool sameStamp(const platform::FileStamp& a, const platform::FileStamp& b) {
  return a.size == b.size && a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs &&
         a.device == b.device && a.inode == b.inode;
}

// Whether `source` is still the file `before` describes: not rewritten, replaced or removed.
bool unchangedSince(const std::filesystem::path& source,
                    const std::optional<platform::FileStamp>& before) {
  const auto now = platform::fileStamp(source);
  return before && now && sameStamp(*before, *now);
}

}  // namespace

base::Error changedWhileRead(const std::filesystem::path& source) {
  return base::Error(base::kErrFile,
                     "El archivo " + platform::utf8(source) +
                         " cambió mientras se leía: otro programa lo estaba copiando o guardando. "
                         "Espere a que el archivo esté copiado o guardado entero, cierre los "
                         "programas que lo usan (Access) y vuelva a intentarlo.");
}

std::filesystem::path defaultImporterPath() {
  return platform::executableIn(platform::programFile(nullptr).parent_path(), "kolt-importar");
}

namespace {

// Runs the importer on `source`: into the file `target`, or, when `image` is given, into memory,
// whose bytes it then holds.
ImportSummary runImporter(const std::filesystem::path& source, const std::filesystem::path& target,
                          const ImportOptions& options, std::string* image) {
  // Taken before anything is read: a copy still being written shows as a change at the end,
  // whatever it made the reading find.
  const std::optional<platform::FileStamp> before = platform::fileStamp(source);
  const AccessHeader header = [&] {
    try {
      return readAccessHeader(source);
    } catch (const base::Error&) {
      if (before && !unchangedSince(source, before)) throw changedWhileRead(source);
      throw;
    }
  }();
  const std::filesystem::path importer =
      options.importer.empty() ? defaultImporterPath() : options.importer;
  if (!platform::isExecutable(importer)) {
    throw base::Error(base::kErrFile,
                      "No se encuentra el programa de importación " + platform::utf8(importer) +
                          ", necesario para leer bases de datos de Access. Reinstale el "
                          "programa.");
  }

  std::vector<std::string> arguments = {"--progress-fd", std::to_string(platform::kReportChannel)};
  if (image)
    arguments.insert(arguments.end(), {"--en-memoria", platform::utf8(source)});
  else
    arguments.insert(arguments.end(), {platform::utf8(source), platform::utf8(target)});
  arguments.insert(arguments.end(), options.tables.begin(), options.tables.end());

  platform::ChildLimits limits;
  limits.timeout = timeoutFor(options.limits, header.fileSize);
  limits.stallTimeout = options.limits.stallTimeout;
  limits.memoryBytes = options.limits.memoryBytes;
  limits.cpuSeconds = cpuSecondsFor(header.fileSize);

  ImportProgress progress;
  ImportSummary summary;
  std::int64_t rowsBeforeTable = 0;
  std::optional<access::ProgressEvent> failure;
  bool ended = false;
  bool garbled = false;
  auto report = [&] {
    if (options.progress) options.progress(progress);
  };

  platform::ChildOutcome outcome;
  try {
    outcome = platform::runChild(importer, arguments, limits, [&](std::string_view line) {
      const auto event = access::decodeEvent(line);
      if (!event) {
        garbled = true;
        return;
      }
      switch (event->kind) {
        case ProgressEvent::Kind::Start:
          progress.format = summary.format = event->text;
          progress.tableCount = static_cast<int>(event->count);
          progress.rowsExpected = event->total;
          report();
          break;
        case ProgressEvent::Kind::Table:
          rowsBeforeTable = progress.rows;
          progress.tableIndex = static_cast<int>(event->index);
          progress.table = event->text;
          progress.tableRows = 0;
          progress.tableRowsExpected = event->count;
          summary.tables.push_back(event->text);
          report();
          break;
        case ProgressEvent::Kind::Rows:
          progress.tableRows = event->count;
          progress.rows = rowsBeforeTable + event->count;
          report();
          break;
        case ProgressEvent::Kind::Image:
          if (image)
            *image += event->text;
          else
            garbled = true;
          break;
        case ProgressEvent::Kind::End:
          ended = true;
          summary.rows = event->count;
          progress.finished = true;
          report();
          break;
        case ProgressEvent::Kind::Error:
          failure = *event;
          break;
      }
    });
  } catch (const std::system_error& e) {
    throw base::Error(base::kErrFile,
                      "No se pudo iniciar la lectura de " + platform::utf8(source) +
                          ". Cierre otros programas y vuelva a intentarlo.",
                      base::detailOf(importer, e.what()));
  }

  // Before anything the reading said, good or bad: read while it changed, the file may have given
  // half its old rows and half its new ones, or pages that fit neither.
  if (!unchangedSince(source, before)) throw changedWhileRead(source);
  using End = platform::ChildOutcome::End;
  if (outcome.end == End::Exited && outcome.status == 0 && ended && !garbled && !failure)
    return summary;
  if (failure && outcome.end == End::Exited) {
    // The child named the problem itself.
    throw base::Error(failure->index, failure->text, failure->detail);
  }
  if (outcome.end == End::TimedOut || outcome.end == End::Stalled) {
    const auto limit = outcome.end == End::TimedOut ? limits.timeout : limits.stallTimeout;
    throw base::Error(
        base::kErrNotAccessFile,
        "La lectura de " + platform::utf8(source) + " se detuvo: " +
            (outcome.end == End::TimedOut ? "tardó más de " : "dejó de avanzar durante ") +
            seconds(limit) +
            " segundos. El archivo puede estar dañado; ábralo en Access y use «Compactar "
            "y reparar», o elija otro archivo.");
  }
  if (outcome.end == End::CpuLimit) {
    throw base::Error(
        base::kErrNotAccessFile,
        "La lectura de " + platform::utf8(source) +
            " se detuvo: necesitó mucho más trabajo del que pide un archivo de su "
            "tamaño. El archivo puede estar dañado; ábralo en Access y use «Compactar "
            "y reparar», o elija otro archivo.");
  }
  if (outcome.end == End::Exited && outcome.status == 127 && progress.format.empty()) {
    throw base::Error(base::kErrFile, "No se pudo ejecutar el programa de importación " +
                                          platform::utf8(importer) + ". Reinstale el programa.");
  }
  // A crash, an abort (libmdb gives up on memory it cannot get), or output we cannot trust.
  throw base::Error(base::kErrNotAccessFile, notAccessFileMessage(source));
}

}  // namespace

ImportSummary importAccessInto(const std::filesystem::path& source,
                               const std::filesystem::path& temporaryTarget,
                               const ImportOptions& options) {
  return runImporter(source, temporaryTarget, options, nullptr);
}

std::string importAccessToMemory(const std::filesystem::path& source,
                                 const ImportOptions& options) {
  std::string image;
  runImporter(source, {}, options, &image);
  return image;
}

ImportSummary importAccess(const std::filesystem::path& source, const std::filesystem::path& target,
                           const ImportOptions& options) {
  const auto temporary = base::temporaryNameFor(target);
  ImportSummary summary;
  const std::error_code ec = base::replaceFile(
      temporary, target, [&] { summary = importAccessInto(source, temporary, options); });
  if (ec) {
    throw base::Error(base::kErrFile,
                      "No se pudo guardar " + platform::utf8(target.filename()) +
                          " en la carpeta '" + base::folderOf(target) + "'" + base::becauseOf(ec) +
                          ". Compruebe que tiene permiso de escritura en esa carpeta y que hay "
                          "espacio libre en el disco.",
                      base::detailOf(target, ec.message()));
  }
  return summary;
}

}  // namespace kolt::access
