#include "access/progress_protocol.h"

#include <charconv>
#include <vector>

namespace kolt::access {
namespace {

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out.push_back('\\');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::optional<std::int64_t> number(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  for (std::size_t tab; (tab = line.find('\t', from)) != std::string_view::npos; from = tab + 1)
    parts.push_back(line.substr(from, tab - from));
  parts.push_back(line.substr(from));
  return parts;
}

}  // namespace

std::string encodeEvent(const ProgressEvent& e) {
  const std::string n = std::to_string(e.index), c = std::to_string(e.count);
  switch (e.kind) {
    case ProgressEvent::Kind::Start:
      return "inicio\t" + escape(e.text) + "\t" + c + "\t" + std::to_string(e.total);
    case ProgressEvent::Kind::Table:
      return "tabla\t" + n + "\t" + c + "\t" + escape(e.text);
    case ProgressEvent::Kind::Rows:
      return "filas\t" + n + "\t" + c;
    case ProgressEvent::Kind::Image: {
      static constexpr char kDigits[] = "0123456789abcdef";
      std::string hex = "imagen\t";
      for (const char ch : e.text) {
        const auto byte = static_cast<unsigned char>(ch);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xF];
      }
      return hex;
    }
    case ProgressEvent::Kind::End:
      return "fin\t" + c;
    case ProgressEvent::Kind::Error:
      return "error\t" + n + "\t" + escape(e.text) +
             (e.detail.empty() ? std::string() : "\t" + escape(e.detail));
  }
  return {};
}

std::optional<ProgressEvent> decodeEvent(std::string_view line) {
  const auto parts = split(line);
  ProgressEvent e;
  auto num = [&](std::size_t i) { return i < parts.size() ? number(parts[i]) : std::nullopt; };
  auto txt = [&](std::size_t i) {
    return i < parts.size() ? unescape(parts[i]) : std::optional<std::string>();
  };
  const std::string_view tag = parts[0];
  std::optional<std::int64_t> a, b;
  std::optional<std::string> t;
  if (tag == "inicio" && parts.size() == 4 && (t = txt(1)) && (a = num(2)) && (b = num(3))) {
    e.kind = ProgressEvent::Kind::Start;
    e.text = *t;
    e.count = *a;
    e.total = *b;
  } else if (tag == "tabla" && parts.size() == 4 && (a = num(1)) && (b = num(2)) && (t = txt(3))) {
    e.kind = ProgressEvent::Kind::Table;
    e.index = *a;
    e.count = *b;
    e.text = *t;
  } else if (tag == "filas" && parts.size() == 3 && (a = num(1)) && (b = num(2))) {
    e.kind = ProgressEvent::Kind::Rows;
    e.index = *a;
    e.count = *b;
  } else if (tag == "imagen" && parts.size() == 2 && parts[1].size() % 2 == 0) {
    e.kind = ProgressEvent::Kind::Image;
    e.text.reserve(parts[1].size() / 2);
    auto digit = [](char c) {
      return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t i = 0; i < parts[1].size(); i += 2) {
      const int high = digit(parts[1][i]), low = digit(parts[1][i + 1]);
      if (high < 0 || low < 0) return std::nullopt;
      e.text.push_back(static_cast<char>(high << 4 | low));
    }
  } else if (tag == "fin" && parts.size() == 2 && (a = num(1))) {
    e.kind = ProgressEvent::Kind::End;
    e.count = *a;
  } else if (tag == "error" && (parts.size() == 3 || parts.size() == 4) && (a = num(1)) &&
             (t = txt(2))) {
    e.kind = ProgressEvent::Kind::Error;
    e.index = *a;
    e.text = *t;
    if (parts.size() == 4) {
      const auto detail = txt(3);
      if (!detail) return std::nullopt;
      e.detail = *detail;
    }
  } else {
    return std::nullopt;
  }
  return e;
}

}  // namespace kolt::access
