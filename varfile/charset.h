#pragma once
// The TI-68k calculators' own character set, in which the names, folders and comments of their
// files are written: ASCII below 0x80, then Greek letters and mathematical symbols, mostly
// Latin-1 above 0xA0. Each byte is decoded to Unicode as TI's link software decodes it, one byte
// to one text, so that the text can be encoded back byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

/// The UTF-8 text a TI-68k calculator shows for `byte` (empty for 0, which ends a text field).
std::string_view ti_character(std::uint8_t byte);

/// The columns a terminal gives that text: 2 for the four wide characters, 1 for the others.
std::size_t ti_character_width(std::uint8_t byte);

/// One character of UTF-8 text: its code point and its length in bytes. The length is 0 where
/// the bytes at that place are not well-formed UTF-8: a stray or cut byte, an overlong form, a
/// surrogate.
struct Utf8Char {
  char32_t code;
  std::size_t length;
};

/// The character that starts text[at].
Utf8Char utf8_char_at(std::string_view text, std::size_t at);

/// `text`, UTF-8 like every argument and message, as UTF-16, as Windows' wide calls take it. With
/// `strict`, empty where it is not valid UTF-8; otherwise each byte that is not part of valid
/// UTF-8 becomes U+FFFD.
std::u16string utf16_of(std::string_view text, bool strict);

/// A character of typed UTF-8 text as the calculator stores it: its length in the text, and the
/// calculator's byte for it, 0 where the calculator lacks it. The length is 0 where text[at]
/// starts no well-formed character. ASCII stays as it is; x and y with a combining overline are
/// one character each, as the calculator has them.
struct TypedChar {
  std::size_t length;
  std::uint8_t byte;
};

/// The character of typed text that starts text[at], read with the table above backwards.
TypedChar typed_char_at(std::string_view text, std::size_t at);

}  // namespace ostrel
