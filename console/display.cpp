#include "console/display.h"

#include <array>
#include <utility>

namespace ostrel {

namespace {

// Format characters that reorder text or take no room, and the Unicode line and paragraph
// separators: ranges of code points, first and last.
constexpr std::array<std::pair<char32_t, char32_t>, 8> unseen_formats = {{
    {0x00AD, 0x00AD},  // soft hyphen
    {0x061C, 0x061C},  // Arabic letter mark
    {0x180E, 0x180E},  // Mongolian vowel separator
    {0x200B, 0x200F},  // zero-width space, non-joiner and joiner; left-to-right and right-to-left marks
    {0x2028, 0x202E},  // line and paragraph separators; embeddings, overrides and their end
    {0x2060, 0x2064},  // word joiner and the invisible operators
    {0x2066, 0x2069},  // isolates and their end
    {0xFEFF, 0xFEFF},  // zero-width no-break space (byte order mark)
}};

}  // namespace

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

bool is_unseen(char32_t code) {
  if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return true;
  for (const auto& [first, last] : unseen_formats) {
    if (code >= first && code <= last) return true;
  }
  return false;
}

void append_hex_byte(std::string& out, std::uint8_t byte) {
  constexpr char hex_digits[] = "0123456789abcdef";
  out += hex_digits[byte >> 4];
  out += hex_digits[byte & 0x0F];
}

void append_byte_escape(std::string& out, std::uint8_t byte) {
  out += "\\x";
  append_hex_byte(out, byte);
}

void append_shown(std::string& out, std::string_view text, Charset charset, std::string_view also) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = utf8_char_at(text, i);
    const bool shown = c.length > 0 && !is_unseen(c.code) &&
                       (charset == Charset::utf8 || c.code < 0x80) &&
                       also.find(text[i]) == std::string_view::npos;
    const std::size_t length = c.length > 0 ? c.length : 1;
    if (shown) {
      out.append(text.substr(i, length));
    } else {
      for (std::size_t k = i; k < i + length; ++k) {
        append_byte_escape(out, static_cast<std::uint8_t>(text[k]));
      }
    }
    i += length;
  }
}

}  // namespace ostrel
