#pragma once
// UTF-8 text checks shared by every layer. Depends on nothing but the C++ library.

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// The replacement character returned for a malformed sequence.
constexpr char32_t kBadChar = 0xFFFD;

// True when the text is well-formed UTF-8: no stray continuation bytes, no
// truncated or overlong sequences, no surrogates, nothing above U+10FFFF.
bool validUtf8(std::string_view text);

// Decodes the character starting at `pos` and moves `pos` past it; a
// malformed sequence gives kBadChar and moves one byte on. `pos` must be
// inside the text.
char32_t nextUtf8Char(std::string_view text, std::size_t& pos);

// How many characters the text holds, counted by the bytes that begin one
// (a stray continuation byte adds nothing), as a field's size limit counts them.
std::size_t utf8Length(std::string_view text);

// The first `count` characters of the text (all of it when it has fewer),
// never cut inside a character.
std::string_view utf8Prefix(std::string_view text, std::size_t count);

// The UTF-8 bytes of one character.
std::string utf8Char(char32_t c);

// The text without a leading UTF-8 byte-order mark.
std::string_view withoutByteOrderMark(std::string_view text);

}  // namespace base
