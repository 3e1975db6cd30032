#include "console/display.h"

#include <array>
#include <utility>

namespace ostrel {

namespace {

// What a reader cannot see beyond the controls, or could take for something else: every code
// point Unicode 15 marks Default_Ignorable_Code_Point or gives the general category Cf (format:
// the bidirectional and zero-width characters, tags), Zl or Zp (line and paragraph separators),
// or Zs (the spaces that are not U+0020, which pass for it). Ranges, first and last, made from
// DerivedCoreProperties.txt and UnicodeData.txt; a unit test checks them against those files over
// every code point, and prints the ranges they give when they differ.
constexpr std::array<std::pair<char32_t, char32_t>, 28> unseen_ranges = {{
    {0x00A0, 0x00A0}, {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x0600, 0x0605},
    {0x061C, 0x061C}, {0x06DD, 0x06DD}, {0x070F, 0x070F}, {0x0890, 0x0891},
    {0x08E2, 0x08E2}, {0x115F, 0x1160}, {0x1680, 0x1680}, {0x17B4, 0x17B5},
    {0x180B, 0x180F}, {0x2000, 0x200F}, {0x2028, 0x202F}, {0x205F, 0x206F},
    {0x3000, 0x3000}, {0x3164, 0x3164}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
}};

}  // namespace

bool is_unseen(char32_t code) {
  if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return true;
  if (code < unseen_ranges.front().first) return false;  // the common case: nothing to look up
  for (const auto& [first, last] : unseen_ranges) {
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
    if (const std::size_t run = plain_run(text, i, also); run > 0) {  // most of any path
      out.append(text.substr(i, run));
      i += run;
      continue;
    }
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
