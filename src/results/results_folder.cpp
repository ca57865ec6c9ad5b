#include "results/results_folder.h"

#include <fstream>
#include <system_error>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLockName = "Validacion.lock";
constexpr const char* kWorkName = "Validacion.tmp";
// Where the workbooks wait, whole, to be placed.
constexpr const char* kKeptName = "listos";
// A notice longer than this was not written by a run; only its beginning is read.
constexpr std::size_t kNoticeLimit = 64 * 1024;
// What the user can do about a results folder that cannot be written.
constexpr const char* kWriteAdvice =
    "Compruebe que tiene permiso de escritura en ella y que hay espacio libre en el disco, o use "
    "otra carpeta de resultados.";

bool needsEscape(unsigned char c, std::size_t position, std::size_t length) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
    case '%':
      return true;
    case '.':
      return position == 0 || position + 1 == length;
    case ' ':
      // Windows drops trailing dots and blanks from a name.
      return position + 1 == length;
    default:
      return false;
  }
}

std::string quoted(const fs::path& path) {
  return "'" + platform::utf8(path) + "'";
}

// The text of the notice at `file`, when it is a file of its own: a link or a second name of
// another file is nothing a run wrote, and what it points to is never read.
std::string noticeAt(const fs::path& file) {
  std::error_code ec;
  if (fs::symlink_status(file, ec).type() != fs::file_type::regular) return {};
  if (fs::hard_link_count(file, ec) != 1 || ec) return {};
  std::ifstream in(file, std::ios::binary);
  std::string text;
  text.resize(kNoticeLimit);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace

std::string fileNamePart(std::string_view unitCode) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (std::size_t i = 0; i < unitCode.size(); ++i) {
    const auto c = static_cast<unsigned char>(unitCode[i]);
    if (needsEscape(c, i, unitCode.size())) {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 0xF];
    } else {
      name += static_cast<char>(c);
    }
  }
  return name;
}

ResultsFolder::ResultsFolder(fs::path folder)
    : folder_(std::move(folder)), work_(folder_ / kWorkName) {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec)
    throw base::Error(base::kErrFile,
                      "No se puede crear la carpeta de resultados " + quoted(folder_) +
                          base::becauseOf(ec) + ". Compruebe que tiene permiso de escritura en " +
                          quoted(folder_.parent_path()) + ", o use otra carpeta de resultados.",
                      base::detailOf(folder_, ec.message()));
  const fs::path lockFile = folder_ / kLockName;
  lock_ = platform::tryLock(lockFile);
  switch (lock_.state()) {
    case platform::ExclusiveLock::State::Held:
      break;
    case platform::ExclusiveLock::State::CannotOpen:
      throw base::Error(base::kErrFile,
                        "No se puede escribir en la carpeta de resultados " + quoted(folder_) +
                            base::becauseOf(lock_.error()) + ". " + kWriteAdvice,
                        base::detailOf(lockFile, lock_.error().message()));
    case platform::ExclusiveLock::State::InUse:
      throw base::Error(base::kErrInUse,
                        "La carpeta de resultados " + quoted(folder_) +
                            " está en uso por otra validación. Espere a que termine y "
                            "vuelva a intentarlo.");
    case platform::ExclusiveLock::State::IsLink:
      throw base::Error(base::kErrFile,
                        "El archivo de reserva " + quoted(lockFile) +
                            " es un enlace a otro archivo, y la validación no escribe a través "
                            "de enlaces. Bórrelo (el archivo al que apunta no se toca) y vuelva "
                            "a intentarlo.");
    case platform::ExclusiveLock::State::CannotLock:
      throw base::Error(base::kErrFile,
                        "No se puede reservar la carpeta de resultados " + quoted(folder_) +
                            " para esta validación. Compruebe que la carpeta está en un disco que "
                            "admite escritura, o use otra carpeta de resultados.",
                        base::detailOf(lockFile, lock_.error().message()));
  }

  unfinished_ = noticeAt(folder_ / kUnfinishedNotice);

  // Everything in the work folder was left by a run that did not finish: it is ours, and no run
  // is using it now that the lock is held, folders in it included. A link is never followed: a
  // work folder that is a link loses the link, never what it points to, and so does a link at any
  // depth inside it.
  if (fs::is_symlink(fs::symlink_status(work_, ec))) fs::remove(work_, ec);
  for (const auto& entry : fs::directory_iterator(work_, ec)) platform::removeTree(entry.path());
  fs::create_directories(work_, ec);
  if (ec) {
    throw base::Error(base::kErrFile,
                      "No se puede escribir en la carpeta de resultados " + quoted(folder_) +
                          base::becauseOf(ec) + ". " + kWriteAdvice,
                      base::detailOf(work_, ec.message()));
  }
}

ResultsFolder::~ResultsFolder() {
  std::error_code ignored;
  for (const auto& [published, replaces] : pending_)
    if (replaces) fs::remove(keptOf(published), ignored);
  // Each only when empty.
  fs::remove(work_ / kKeptName, ignored);
  fs::remove(work_, ignored);
}

fs::path ResultsFolder::workingDatabase(std::string_view unitCode) const {
  return work_ / platform::pathFromUtf8("Val" + fileNamePart(unitCode) + ".db");
}

fs::path ResultsFolder::unitWorkbook(std::string_view unitCode) const {
  return folder_ / platform::pathFromUtf8("Val" + fileNamePart(unitCode) + ".xls");
}

fs::path ResultsFolder::summaryWorkbook() const {
  return folder_ / "ResultadosVal.xls";
}

fs::path ResultsFolder::draftOf(const fs::path& published) const {
  return work_ / published.filename();
}

fs::path ResultsFolder::keptOf(const fs::path& published) const {
  // A folder of their own, so that a kept workbook's name is its draft's, no longer.
  return work_ / kKeptName / published.filename();
}

void ResultsFolder::publish(const fs::path& published) const {
  const fs::path draft = draftOf(published);
  std::error_code error;
  fs::create_directory(work_ / kKeptName, error);
  if (!error) error = base::replaceFile(draft, keptOf(published));
  if (!error) {
    std::lock_guard lock(pendingMutex_);
    pending_[published] = true;
    return;
  }
  if (platform::noRoomLeft(error))
    throw base::Error(base::kErrDiskFull,
                      "No quedó espacio en el disco para guardar el libro " + quoted(published) +
                          ". Libere espacio en el disco y vuelva a validar.",
                      base::detailOf(draft, error.message()));
  throw base::Error(base::kErrFile,
                    "No se pudo guardar el libro " + quoted(published) + base::becauseOf(error) +
                        ". Compruebe que tiene permiso de escritura en la carpeta de resultados.",
                    base::detailOf(draft, error.message()));
}

void ResultsFolder::discard(const fs::path& published) const {
  std::error_code ec;
  fs::remove(draftOf(published), ec);
  fs::remove(keptOf(published), ec);
  std::lock_guard lock(pendingMutex_);
  pending_[published] = false;
}

void ResultsFolder::place(const fs::path& published) const {
  bool replaces = false;
  {
    std::lock_guard lock(pendingMutex_);
    const auto found = pending_.find(published);
    if (found == pending_.end()) return;
    replaces = found->second;
    pending_.erase(found);
  }
  if (!replaces) {
    std::error_code ec;
    if (!fs::remove(published, ec) && ec)
      throw base::Error(base::kErrFile,
                        "No se pudo borrar el libro anterior " + quoted(published) +
                            base::becauseOf(ec) + ". Ciérrelo si está abierto en otro programa.",
                        base::detailOf(published, ec.message()));
    return;
  }
  const fs::path kept = keptOf(published);
  const std::error_code error = base::replaceFile(kept, published);
  if (!error) return;
  if (platform::noRoomLeft(error))
    throw base::Error(base::kErrDiskFull,
                      "No quedó espacio en el disco para guardar el libro " + quoted(published) +
                          ". Libere espacio en el disco y vuelva a validar.",
                      base::detailOf(kept, error.message()));
  throw base::Error(base::kErrFile,
                    "No se pudo guardar el libro " + quoted(published) + base::becauseOf(error) +
                        ". Ciérrelo si está abierto en otro programa y compruebe que tiene permiso "
                        "de escritura en la carpeta de resultados.",
                    base::detailOf(kept, error.message()));
}

void ResultsFolder::markUnfinished(const std::string& text) const {
  const fs::path notice = folder_ / kUnfinishedNotice;
  auto refusal = [&](const std::error_code& error) {
    return base::Error(platform::noRoomLeft(error) ? base::kErrDiskFull : base::kErrFile,
                       "No se pudo escribir el aviso " + quoted(notice) + base::becauseOf(error) +
                           ". " + kWriteAdvice,
                       base::detailOf(notice, error.message()));
  };
  // Under a name of its own, then renamed over the notice: a link in its place loses its name.
  const fs::path fresh = base::temporaryNameFor(notice);
  const std::error_code error = base::replaceFile(fresh, notice, [&] {
    std::error_code failed;
    platform::File file = platform::File::createNew(fresh, failed);
    if (!failed) failed = file.write(text.data(), text.size());
    // On the disk before it takes its name: after a power cut the notice is whole or absent.
    if (!failed) failed = file.sync();
    if (failed) throw refusal(failed);
  });
  if (error) throw refusal(error);
}

void ResultsFolder::markFinished() const {
  const fs::path notice = folder_ / kUnfinishedNotice;
  std::error_code ec;
  if (!fs::remove(notice, ec) && ec)
    throw base::Error(base::kErrFile,
                      "No se pudo borrar el aviso " + quoted(notice) + base::becauseOf(ec) + ".",
                      base::detailOf(notice, ec.message()));
}

}  // namespace kolt::results
