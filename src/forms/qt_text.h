// Texts and paths between the program's UTF-8 strings and Qt's strings.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "base/platform/paths.h"

namespace kolt::forms {

inline QString q(const std::string& text) {
  return QString::fromStdString(text);
}
// Paths through their UTF-8 texts: on Windows path::string() and a path made from a std::string
// would take the ANSI code page, and lose a name with accents.
inline QString q(const std::filesystem::path& path) {
  return QString::fromStdString(platform::utf8(path));
}
inline std::string utf8(const QString& text) {
  return text.toStdString();
}
inline std::filesystem::path pathOf(const QString& text) {
  return platform::pathFromUtf8(text.toStdString());
}

}  // namespace kolt::forms
