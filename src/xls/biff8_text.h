// Text as a BIFF8 workbook holds it: UTF-16, at most a fixed number of code units per cell or name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolt::xls::biff8 {

// The most characters a cell shows; longer texts are cut to it.
inline constexpr std::size_t kMaxCellText = 32767;

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// The first `maxUnits` code units of `text`, one fewer when the cut would split a surrogate pair.
std::u16string_view cutUtf16(std::u16string_view text, std::size_t maxUnits);

// True when every code unit fits one byte, so the text can be stored "compressed" (Latin-1).
bool fitsOneByte(std::u16string_view text);

}  // namespace kolt::xls::biff8
