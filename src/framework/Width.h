#pragma once
// The full-width forms of the ASCII characters in cp932 ("０", "Ａ", "－", "　") and the
// characters they stand for. Patient IDs typed with Japanese input on were stored full-width;
// comparing without regard to width finds them by their half-width form and the other way
// round, without a stored byte changed.

#include <string>
#include <string_view>

namespace fw {

// The ASCII character (space to "~") whose full-width form is the double-byte character lead,
// trail, or 0 when it is none.
char HalfWidthOf(unsigned char lead, unsigned char trail);

// text with every full-width form of an ASCII character as that character: a view of text
// itself when it holds none (the common case, which copies nothing), else of buffer.
std::string_view FoldWidth(std::string_view text, std::string& buffer);

} // namespace fw
