#pragma once
// Writing CSV fields. Depends on nothing but the C++ library.

#include <string>
#include <string_view>

namespace base {

// A text field of a CSV line with the given separator: quoted when it holds
// the separator, a quote, a CR or LF (inner quotes doubled), or leading or
// trailing spaces. A text that a spreadsheet would run as a formula (one
// beginning with '=', '+', '-', '@', a tab or a carriage return) gets an apostrophe in
// front and quotes, so a spreadsheet shows it as text. Numbers are not text
// and are written as they are, without this function.
std::string csvField(std::string_view text, char separator = ',');

}  // namespace base
