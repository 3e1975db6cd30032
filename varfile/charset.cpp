#include "varfile/charset.h"

#include <algorithm>
#include <array>

namespace ostrel {

namespace {

// Byte by byte, as TI's link software (libticonv, for the TI-89 and its family) decodes it.
// Some bytes below 0x20 stand for the control character of the same number; 0x95 and 0x97 (the
// exponent's E and the imaginary i) are decoded to the code points the link software gives them.
constexpr std::array<std::string_view, 256> characters = {
    "", "\x01", "\x02", "\x03", "\x04", "\x05", "\x06", "\x07",  // 00
    "\x08", "\x09", "\x0a", "\u2934", "\x0c", "\x0d", "\u2693", "\u2713",  // 08
    "\u25FE", "\u25C2", "\u25B8", "\u25B4", "\u25BE", "\u2190", "\u2192", "\u2191",  // 10
    "\u2193", "\u25C0", "\u25B6", "\u2B06", "\u222A", "\u2229", "\u2282", "\u2208",  // 18
    " ", "!", "\"", "#", "$", "%", "&", "'",  // 20
    "(", ")", "*", "+", ",", "-", ".", "/",  // 28
    "0", "1", "2", "3", "4", "5", "6", "7",  // 30
    "8", "9", ":", ";", "<", "=", ">", "?",  // 38
    "@", "A", "B", "C", "D", "E", "F", "G",  // 40
    "H", "I", "J", "K", "L", "M", "N", "O",  // 48
    "P", "Q", "R", "S", "T", "U", "V", "W",  // 50
    "X", "Y", "Z", "[", "\\", "]", "^", "_",  // 58
    "`", "a", "b", "c", "d", "e", "f", "g",  // 60
    "h", "i", "j", "k", "l", "m", "n", "o",  // 68
    "p", "q", "r", "s", "t", "u", "v", "w",  // 70
    "x", "y", "z", "{", "|", "}", "~", "\u25C6",  // 78
    "\u03B1", "\u03B2", "\u0393", "\u03B3", "\u0394", "\u03B4", "\u03B5", "\u03B6",  // 80
    "\u03B8", "\u03BB", "\u03BE", "\u03A0", "\u03C0", "\u03C1", "\u03A3", "\u03C3",  // 88
    "\u03C4", "\u03C6", "\u03C8", "\u03A9", "\u03C9", "\U0002D5A4", "\u212F", "\U0002D48A",  // 90
    "\u02B3", "\u22BA", "x\u0305", "y\u0305", "\u2264", "\u2260", "\u2265", "\u2220",  // 98
    "\u2026", "\u00A1", "\u00A2", "\u00A3", "\u00A4", "\u00A5", "\u00A6", "\u00A7",  // A0
    "\u221A", "\u00A9", "\u00AA", "\u00AB", "\u00AC", "\u2212", "\u00AE", "\u00AF",  // A8
    "\u00B0", "\u00B1", "\u00B2", "\u00B3", "\u00B4", "\u00B5", "\u00B6", "\u00B7",  // B0
    "\u207A", "\u00B9", "\u00BA", "\u00BB", "\u2202", "\u222B", "\u221E", "\u00BF",  // B8
    "\u00C0", "\u00C1", "\u00C2", "\u00C3", "\u00C4", "\u00C5", "\u00C6", "\u00C7",  // C0
    "\u00C8", "\u00C9", "\u00CA", "\u00CB", "\u00CC", "\u00CD", "\u00CE", "\u00CF",  // C8
    "\u00D0", "\u00D1", "\u00D2", "\u00D3", "\u00D4", "\u00D5", "\u00D6", "\u00D7",  // D0
    "\u00D8", "\u00D9", "\u00DA", "\u00DB", "\u00DC", "\u00DD", "\u00DE", "\u00DF",  // D8
    "\u00E0", "\u00E1", "\u00E2", "\u00E3", "\u00E4", "\u00E5", "\u00E6", "\u00E7",  // E0
    "\u00E8", "\u00E9", "\u00EA", "\u00EB", "\u00EC", "\u00ED", "\u00EE", "\u00EF",  // E8
    "\u00F0", "\u00F1", "\u00F2", "\u00F3", "\u00F4", "\u00F5", "\u00F6", "\u00F7",  // F0
    "\u00F8", "\u00F9", "\u00FA", "\u00FB", "\u00FC", "\u00FD", "\u00FE", "\u00FF",  // F8
};

}  // namespace

std::string_view ti_character(std::uint8_t byte) { return characters[byte]; }

Utf8Char utf8_char_at(std::string_view text, std::size_t at) {
  constexpr std::array<char32_t, 4> least = {0, 0x80, 0x800, 0x10000};
  const auto lead = static_cast<std::uint8_t>(text[at]);
  if (lead < 0x80) return {lead, 1};
  std::size_t more = 0;
  char32_t code = 0;
  if (lead >= 0xF0 && lead < 0xF8) {
    more = 3, code = lead & 0x07u;
  } else if (lead >= 0xE0) {
    more = 2, code = lead & 0x0Fu;
  } else if (lead >= 0xC0) {
    more = 1, code = lead & 0x1Fu;
  }
  if (more == 0 || lead >= 0xF8 || text.size() - at <= more) return {lead, 0};
  for (std::size_t k = 1; k <= more; ++k) {
    const auto next = static_cast<std::uint8_t>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {lead, 0};
    code = code << 6 | (next & 0x3Fu);
  }
  if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {lead, 0};
  return {code, more + 1};
}

std::u16string utf16_of(std::string_view text, bool strict) {
  std::u16string wide;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = utf8_char_at(text, at);
    if (c.length == 0 && strict) return {};
    const char32_t code = c.length == 0 ? U'\uFFFD' : c.code;
    if (code >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(code);
    }
    at += c.length == 0 ? 1 : c.length;
  }
  return wide;
}

TypedChar typed_char_at(std::string_view text, std::size_t at) {
  const Utf8Char c = utf8_char_at(text, at);
  if (c.length == 0) return {0, 0};
  // ASCII stays as it is, but for x and y, the start of 0x9A and 0x9B.
  const auto ascii = static_cast<std::uint8_t>(c.code);
  if (c.code < 0x80 && ascii != 'x' && ascii != 'y') return {1, ascii};
  // The longest text of the table that starts here (x with an overline before x): every text of
  // more than one byte is one character the calculator has beyond ASCII.
  TypedChar found = {0, 0};
  const std::string_view rest = text.substr(at);
  for (std::size_t byte = 1; byte < characters.size(); ++byte) {
    const std::string_view shown = characters[byte];
    if (shown.size() > std::max<std::size_t>(found.length, 1) && rest.starts_with(shown)) {
      found = {shown.size(), static_cast<std::uint8_t>(byte)};
    }
  }
  if (found.length > 0) return found;
  return {c.length, static_cast<std::uint8_t>(c.code < 0x80 ? c.code : 0)};
}

std::size_t ti_character_width(std::uint8_t byte) {
  // An anchor, a square and two ideographs are wide; the overline of 0x9A and 0x9B takes no
  // column of its own.
  return byte == 0x0E || byte == 0x10 || byte == 0x95 || byte == 0x97 ? 2 : 1;
}

}  // namespace ostrel
