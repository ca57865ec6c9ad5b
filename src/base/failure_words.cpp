#include "base/failure_words.h"

#include "base/platform/paths.h"

namespace kolt::base {

std::string reasonOf(const std::error_code& error) {
  if (!error) return {};
  const std::error_condition condition = error.default_error_condition();
  using std::errc;
  if (condition == errc::permission_denied || condition == errc::operation_not_permitted)
    return "no tiene permiso";
  if (condition == errc::read_only_file_system) return "el disco es de solo lectura";
  if (condition == errc::no_space_on_device || condition == errc::file_too_large)
    return "no queda espacio en el disco";
  if (condition == errc::no_such_file_or_directory) return "la carpeta no existe";
  if (condition == errc::not_a_directory)
    return "una parte de la ruta es un archivo, no una carpeta";
  if (condition == errc::filename_too_long) return "la ruta es demasiado larga";
  if (condition == errc::too_many_files_open || condition == errc::too_many_files_open_in_system)
    return "hay demasiados archivos abiertos";
  if (condition == errc::device_or_resource_busy ||
      condition == errc::resource_unavailable_try_again)
    return "otro programa la tiene ocupada";
  return {};
}

std::string becauseOf(const std::error_code& error) {
  const std::string reason = reasonOf(error);
  return reason.empty() ? std::string() : " (" + reason + ")";
}

std::string folderOf(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  if (ec) absolute = file;
  return platform::utf8(absolute.parent_path());
}

std::string detailOf(const std::filesystem::path& file, const std::string& message) {
  return platform::utf8(file) + ": " + message;
}

}  // namespace kolt::base
