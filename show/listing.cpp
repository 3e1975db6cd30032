// ostrel-show's listing for people: a heading, then one line per variable (or part of a Flash
// file) in columns of fixed width, the file's name last.

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

#include "show/listing.h"
#include "show/messages.h"
#include "varfile/charset.h"

namespace ostrel {

namespace {

constexpr std::string_view header_line =
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  "
    "COMMENT                                     FILE\n";

// Column widths of the human listing: each holds its longest usual value ("TI-92 Plus",
// "abcdefgh\abcdefgh", "0x21 assembly program", "RAM, locked", 64 MiB, a comment of 40
// characters in quotes), so the lines of every file line up without waiting for the last one.
// The file's name, of any length, comes last.
constexpr std::size_t family_width = 10;
constexpr std::size_t variable_width = 17;
constexpr std::size_t type_width = 21;
constexpr std::size_t destination_width = 11;
constexpr std::size_t size_width = 8;
constexpr std::size_t checksum_width = 8;
constexpr std::size_t quoted_comment_width = 42;

// Pads a field that takes `columns` columns to `width`, and parts it from the next.
void pad(std::string& out, std::size_t columns, std::size_t width) {
  out.append(columns < width ? width - columns + 2 : 2, ' ');
}

// An ASCII text in its column.
void append_padded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  pad(out, text.size(), width);
}

// The type byte in hexadecimal and its name: "0x12 program".
void append_type(std::string& out, std::uint8_t type, std::string_view name) {
  out += "0x";
  append_hex_byte(out, type);
  out += ' ';
  append_padded(out, name, type_width - 5);
}

void append_size(std::string& out, std::uint32_t size) {
  char digits[10];
  const auto end = std::to_chars(digits, digits + sizeof digits, size).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  if (length < size_width) out.append(size_width - length, ' ');
  out.append(digits, end) += "  ";
}

// The file's name, last on its line.
void append_path(std::string& out, std::string_view path, Charset charset) {
  append_shown(out, path, charset, path_escapes());
  out += '\n';
}

}  // namespace

std::size_t append_calculator_text(std::string& out, std::string_view bytes, Charset charset,
                                   std::string_view also) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (const std::size_t run = plain_run(bytes, i, also); run > 0) {  // most of any text
      out.append(bytes.substr(i, run));
      columns += run;
      i += run - 1;
      continue;
    }
    const char c = bytes[i];
    const auto byte = static_cast<std::uint8_t>(c);
    const std::string_view text = ti_character(byte);
    const bool ascii = static_cast<std::uint8_t>(text[0]) < 0x80 && text.size() == 1;
    if (is_unseen(utf8_char_at(text, 0).code) || (charset == Charset::ascii && !ascii) ||
        also.find(c) != std::string_view::npos) {
      append_byte_escape(out, byte);
      columns += 4;
    } else {
      out += text;
      columns += ti_character_width(byte);
    }
  }
  return columns;
}

std::size_t append_variable(std::string& out, const VarEntry& variable, Charset charset) {
  const std::size_t folder = append_calculator_text(out, variable.folder, charset, "\\");
  out += '\\';
  return folder + 1 + append_calculator_text(out, variable.name, charset, "\\");
}

std::string checksum_text(const VarEntry& variable, Charset charset) {
  std::string text;
  append_variable(text, variable, charset);
  text += show_msg::wrong_checksum;
  append_hex_byte(text, static_cast<std::uint8_t>(variable.stored_checksum >> 8));
  append_hex_byte(text, static_cast<std::uint8_t>(variable.stored_checksum));
  text += ", computed 0x";
  append_hex_byte(text, static_cast<std::uint8_t>(variable.computed_checksum >> 8));
  append_hex_byte(text, static_cast<std::uint8_t>(variable.computed_checksum));
  text += ')';
  return text;
}

void append_number(std::string& out, std::uint32_t number) {
  char digits[10];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out.append(digits, end);
}

void append_revision(std::string& out, const FlashPart& part) {
  // Binary-coded decimal, as the date: each hexadecimal digit is a decimal one.
  std::string major;
  append_hex_byte(major, part.revision_major);
  out += major[0] == '0' ? major.substr(1) : major;
  out += '.';
  append_hex_byte(out, part.revision_minor);
}

void append_date(std::string& out, const FlashPart& part) {
  append_hex_byte(out, static_cast<std::uint8_t>(part.year >> 8));
  append_hex_byte(out, static_cast<std::uint8_t>(part.year));
  out += '-';
  append_hex_byte(out, part.month);
  out += '-';
  append_hex_byte(out, part.day);
}

std::string_view listing_header() { return header_line; }

std::string human_lines(std::string_view path, const VarContents& contents, Charset charset) {
  std::string lines;
  lines.reserve(contents.variables.size() * (header_line.size() + path.size()));  // one allocation
  for (const VarEntry& variable : contents.variables) {
    append_padded(lines, family_of(contents.signature), family_width);
    pad(lines, append_variable(lines, variable, charset), variable_width);
    append_type(lines, variable.type, type_name(variable.type));
    if (const std::string_view destination = destination_name(variable.attribute);
        !destination.empty()) {
      append_padded(lines, destination, destination_width);
    } else {
      std::string attribute = "attr 0x";
      append_hex_byte(attribute, variable.attribute);
      append_padded(lines, attribute, destination_width);
    }
    append_size(lines, variable.size);
    append_padded(lines, variable.checksum_ok() ? "ok" : "wrong", checksum_width);
    lines += '"';
    const std::size_t comment = append_calculator_text(lines, contents.comment, charset, "\"\\");
    lines += '"';
    pad(lines, comment + 2, quoted_comment_width);
    append_path(lines, path, charset);
  }
  return lines;
}

std::string human_lines(std::string_view path, const FlashContents& contents, Charset charset) {
  // A part has no folder, destination or checksum of its own: it goes to the calculator's Flash
  // memory, and its data is signed. Its revision and date take the comment's place.
  std::string lines;
  for (const FlashPart& part : contents.parts) {
    append_padded(lines, flash_family(part.device_type), family_width);
    pad(lines, append_calculator_text(lines, part.name, charset, "\\"), variable_width);
    append_type(lines, part.data_type, flash_kind(part.data_type));
    append_padded(lines, "Flash", destination_width);
    append_size(lines, part.size);
    append_padded(lines, "-", checksum_width);
    std::string revision = "revision ";
    append_revision(revision, part);
    revision += ", ";
    append_date(revision, part);
    append_padded(lines, revision, quoted_comment_width);
    append_path(lines, path, charset);
  }
  return lines;
}

}  // namespace ostrel
