// Column widths as Excel and LibreOffice measure them: COLINFO gives a width in 1/256 of the
// width of the digit '0' in the workbook's default font (Arial 10), while a text's width depends
// on its letters: capitals and wide letters (M, W, @) take far more room than a '0', narrow ones
// (i, l, punctuation) less. Counting characters cuts off "VALIDACION INCOMPLETA".
#pragma once

#include <cstdint>
#include <string_view>

namespace kolt::xls::biff8 {

enum class FontWeight { Regular, Bold };

// How wide Arial 10 draws `text` on a screen of 96 dots an inch, in dots: each character's advance
// as the font's metrics give it, rounded to a whole dot as the screen draws it.
std::uint32_t textDots(std::u16string_view text, FontWeight weight);

// The dots of the widest character, for a quick bound: a text of n characters is never wider
// than n times this.
inline constexpr std::uint32_t kWidestCharacterDots = 14;

// The width of a digit '0' in dots, the unit COLINFO counts in.
inline constexpr std::uint32_t kDigitDots = 7;

// The COLINFO width (1/256 of a '0') of a column whose widest content is `dots` wide, with the
// margin Excel leaves on either side of a cell's text and a little to spare; at least 6 digits,
// at most 60.
std::uint16_t columnWidth(std::uint32_t dots);

}  // namespace kolt::xls::biff8
