// UTF-8, the engine's text encoding.
#pragma once

#include <string>

namespace kolt::base {

// Appends the UTF-8 form of one code point; a surrogate or a value past U+10FFFF, which no text
// may hold, becomes U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace kolt::base
