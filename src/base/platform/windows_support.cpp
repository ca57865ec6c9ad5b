#include "base/platform/windows_support.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace kolt::platform::windows {

std::error_code errorFrom(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return {};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::resource_unavailable_try_again);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_FILE_TOO_LARGE:
      return std::make_error_code(std::errc::file_too_large);
    case ERROR_DIRECTORY:
      return std::make_error_code(std::errc::not_a_directory);
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long);
    case ERROR_INVALID_NAME:
      return std::make_error_code(std::errc::invalid_argument);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return std::make_error_code(std::errc::not_enough_memory);
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return std::make_error_code(std::errc::broken_pipe);
    default:
      return std::make_error_code(std::errc::io_error);
  }
}

int descriptorFor(HANDLE handle) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) ::CloseHandle(handle);
  return fd;
}

HANDLE handleOf(int descriptor) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

std::uint64_t processorTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return ticks(kernel) + ticks(user);
}

}  // namespace kolt::platform::windows
