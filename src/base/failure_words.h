// Failures in the user's words. The system's and the engine's own messages are English and name
// files the user never made (temporary names, locks); a message says instead which folder or file
// is at fault and what the user can do, and the system's words travel as the error's detail,
// which only the run's log shows.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace kolt::base {

// Why a file operation failed, in a few Spanish words ("no tiene permiso"), or empty
// when the system's reason has no plain words here.
std::string reasonOf(const std::error_code& error);

// " (reason)" for the end of a sentence, or nothing when reasonOf has no words.
std::string becauseOf(const std::error_code& error);

// The folder holding `file`, absolute, as text.
std::string folderOf(const std::filesystem::path& file);

// The system's words for the log: "{file}: {message}".
std::string detailOf(const std::filesystem::path& file, const std::string& message);

}  // namespace kolt::base
