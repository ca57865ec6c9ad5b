// The SHA-256 of a file's bytes, as "sha256sum" and "Get-FileHash" print it: what a statistician
// compares to tell whether two runs read the same file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kolt::run {

// Lower-case hexadecimal, 64 digits.
std::string sha256Hex(std::string_view bytes);
// None when the file cannot be read to its end.
std::optional<std::string> fileSha256(const std::filesystem::path& file);

}  // namespace kolt::run
