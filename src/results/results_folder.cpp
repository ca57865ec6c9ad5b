#include "results/results_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/error.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLockName = "Validacion.lock";
constexpr const char* kWorkName = "Validacion.tmp";

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

bool noRoomLeft(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
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
    throw base::Error(base::kErrFile, "No se puede crear la carpeta de resultados " +
                                          quoted(folder_) + ": " + ec.message() +
                                          ". Compruebe el permiso de escritura.");
  const fs::path lockFile = folder_ / kLockName;
  lock_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lock_ < 0)
    throw base::Error(base::kErrFile, "No se puede escribir en la carpeta de resultados " +
                                          quoted(folder_) + ": " +
                                          std::system_category().message(errno) +
                                          ". Compruebe el permiso de escritura.");
  if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(lock_);
    if (error == EWOULDBLOCK)
      throw base::Error(base::kErrInUse,
                        "La carpeta de resultados " + quoted(folder_) +
                            " está en uso por otra validación. Espere a que termine y "
                            "vuelva a intentarlo.");
    throw base::Error(base::kErrFile, "No se puede reservar la carpeta de resultados " +
                                          quoted(folder_) + ": " +
                                          std::system_category().message(error) + ".");
  }

  // Everything in the work folder was left by a run that did not finish: it is ours, and no run
  // is using it now that the lock is held.
  for (const auto& entry : fs::directory_iterator(work_, ec))
    if (!entry.is_directory(ec)) fs::remove(entry.path(), ec);
  fs::create_directories(work_, ec);
  if (ec) {
    ::close(lock_);
    throw base::Error(base::kErrFile, "No se puede crear la carpeta de trabajo " + quoted(work_) +
                                          ": " + ec.message() +
                                          ". Compruebe el permiso de escritura.");
  }
}

ResultsFolder::~ResultsFolder() {
  std::error_code ignored;
  fs::remove(work_, ignored);  // only when empty
  ::close(lock_);
}

fs::path ResultsFolder::workingDatabase(std::string_view unitCode) const {
  return work_ / ("Val" + fileNamePart(unitCode) + ".db");
}

fs::path ResultsFolder::unitWorkbook(std::string_view unitCode) const {
  return folder_ / ("Val" + fileNamePart(unitCode) + ".xls");
}

fs::path ResultsFolder::summaryWorkbook() const {
  return folder_ / "ResultadosVal.xls";
}

fs::path ResultsFolder::draftOf(const fs::path& published) const {
  return work_ / published.filename();
}

void ResultsFolder::publish(const fs::path& published) const {
  const fs::path draft = draftOf(published);
  if (::rename(draft.c_str(), published.c_str()) == 0) return;
  const int error = errno;
  std::error_code ignored;
  fs::remove(draft, ignored);
  throw base::Error(
      noRoomLeft(error) ? base::kErrDiskFull : base::kErrFile,
      "No se pudo guardar el libro " + quoted(published) + ": " +
          std::system_category().message(error) +
          ". Compruebe que haya espacio en el disco y que el nombre no esté ocupado.");
}

void ResultsFolder::discard(const fs::path& published) const {
  std::error_code ec;
  fs::remove(draftOf(published), ec);
  if (!fs::remove(published, ec) && ec)
    throw base::Error(base::kErrFile, "No se pudo borrar el libro anterior " + quoted(published) +
                                          ": " + ec.message() +
                                          ". Ciérrelo si está abierto en otro programa.");
}

}  // namespace kolt::results
