#pragma once
// Text shown to people: what reaches a terminal as it is, and what is shown escaped as \xNN,
// because a terminal would act on it (controls) or a reader could not see it (format characters
// that reorder text or take no room) or it is no character at all (bytes that are not UTF-8).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "varfile/charset.h"

namespace ostrel {

/// The characters a terminal shows: ASCII alone, or all of Unicode, as UTF-8.
enum class Charset { ascii, utf8 };

/// True for a character a terminal would act on or a reader could not see: C0 controls, DEL,
/// C1 controls, and the characters Unicode marks default ignorable or of the format (Cf), line
/// separator (Zl), paragraph separator (Zp) or space separator (Zs, but U+0020) categories:
/// bidirectional and zero-width characters, tags, variation selectors, fillers and the spaces
/// that pass for a space, which can make one name read as another.
bool is_unseen(char32_t code);

/// The byte as two lower-case hexadecimal digits.
void append_hex_byte(std::string& out, std::uint8_t byte);

/// The byte as \xNN.
void append_byte_escape(std::string& out, std::uint8_t byte);

/// True for printable ASCII not in `also`: shown as it is, in a path and in the calculator's text.
constexpr bool is_plain(char c, std::string_view also) {
  if (c < 0x20 || c >= 0x7F) return false;
  for (const char escaped : also) {
    if (c == escaped) return false;
  }
  return true;
}

/// How many bytes from text[at] on are plain (is_plain).
constexpr std::size_t plain_run(std::string_view text, std::size_t at, std::string_view also) {
  std::size_t end = at;
  while (end < text.size() && is_plain(text[end], also)) ++end;
  return end - at;
}

/// Appends `text` as people read it: each character as it is where `charset` has it and it is
/// seen; otherwise each of its bytes as \xNN, as are bytes that are not UTF-8 and those in `also`.
void append_shown(std::string& out, std::string_view text, Charset charset,
                  std::string_view also = {});

/// The bytes of a path shown escaped besides those above: on POSIX systems a backslash, so that
/// it cannot be taken for the start of an escape; none on Windows, where it separates folders.
/// (One file per OS, beside the console's calls.)
std::string_view path_escapes();

}  // namespace ostrel
