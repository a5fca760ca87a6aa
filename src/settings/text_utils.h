// Small UTF-8 text helpers shared by the settings file, the command line and
// the window face: case-insensitive comparison of paths and names, ASCII
// upper-casing for keywords and option names, UTF-16 conversion, and the
// code point decoder/encoder the output names' letter case uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumafold {

// Full Unicode case folding of UTF-8 text ("Ä" and "ä" fold alike, "ß" to
// "ss"). Bytes that are not valid UTF-8 are kept as they are, so folding
// never loses part of a path.
std::string FoldCase(std::string_view utf8);

// Equal after FoldCase.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Upper-cases a..z only; every other byte is kept.
std::string ToUpperAscii(std::string_view text);
// Lower-cases A..Z only; every other byte is kept.
std::string ToLowerAscii(std::string_view text);

// UTF-8 to UTF-16; an invalid byte sequence becomes U+FFFD.
std::u16string ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

// Decodes the code point at text[pos] (pos < text.size()) and moves pos past
// it. Bytes that are not well-formed UTF-8 (overlong forms, surrogates and
// values above U+10FFFF included) give false with pos moved on by one byte,
// so the caller decides whether that byte is kept or replaced.
bool DecodeUtf8(std::string_view text, std::size_t& pos, char32_t& out);
// Appends c (a Unicode scalar value) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// Removes spaces (U+0020 only) at both ends.
std::string_view TrimSpaces(std::string_view text);
// Removes spaces and tabs at both ends.
std::string_view TrimBlanks(std::string_view text);

}  // namespace lumafold
