// UTF-8, the engine's text encoding, and UTF-16, the one both Office file formats store.
#pragma once

#include <string>
#include <string_view>

namespace kolt::base {

// Appends the UTF-8 form of one code point; a surrogate or a value past U+10FFFF, which no text
// may hold, becomes U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-8 to UTF-16. A malformed sequence (overlong forms, surrogates and values past U+10FFFF
// included) becomes one U+FFFD for its first byte rather than vanishing, and reading goes on at the
// next byte.
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace kolt::base
