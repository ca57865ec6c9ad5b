// Text as a Jet 4 file stores it.
//
// Jet 4 text is UTF-16LE. A column marked for "Unicode compression" may instead hold the
// compressed form: the bytes FF FE, then runs of one byte per character (for characters below
// U+0100) and runs of plain UTF-16LE, each run ended by a 00 byte. Readers find the run ends by
// that 00 byte, so a text holding any character whose low byte is 00 (U+0000, U+0100, U+0200...)
// cannot be compressed. The compressed form is used only when it is shorter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kolt::access_writer {

// The stored bytes of `text`, compressed when `compressible` and shorter that way.
std::vector<unsigned char> encodeText(std::u16string_view text, bool compressible);

}  // namespace kolt::access_writer
