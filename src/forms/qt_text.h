// Texts and paths between the program's UTF-8 strings and Qt's strings.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

namespace kolt::forms {

inline QString q(const std::string& text) {
  return QString::fromStdString(text);
}
inline QString q(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}
inline std::string utf8(const QString& text) {
  return text.toStdString();
}
inline std::filesystem::path pathOf(const QString& text) {
  return std::filesystem::path(text.toStdString());
}

}  // namespace kolt::forms
