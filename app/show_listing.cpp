// ostrel-show's listing for people: a heading, then one line per variable in columns of fixed
// width, the file's name last, every byte that is not printable ASCII escaped.

#include <cstddef>
#include <string>
#include <string_view>

#include "app/show.h"

namespace ostrel {

namespace {

constexpr std::string_view header_line =
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  "
    "COMMENT                                     FILE\n";

// Column widths of the human listing: each holds its longest usual value ("TI-92 Plus",
// "abcdefgh\abcdefgh", "0x21 assembly program", "RAM, locked", 64 MiB, a comment of 40
// printable bytes in quotes), so the lines of every file line up without waiting for the last
// one. The file's name, of any length, comes last.
constexpr std::size_t family_width = 10;
constexpr std::size_t variable_width = 17;
constexpr std::size_t type_width = 21;
constexpr std::size_t destination_width = 11;
constexpr std::size_t size_width = 8;
constexpr std::size_t checksum_width = 8;
constexpr std::size_t quoted_comment_width = 42;

void append_padded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  if (text.size() < width) out.append(width - text.size(), ' ');
  out += "  ";
}

}  // namespace

std::string_view listing_header() { return header_line; }

std::string human_lines(std::string_view path, const VarContents& contents) {
  std::string lines;
  std::string field;
  for (const VarEntry& variable : contents.variables) {
    append_padded(lines, family_of(contents.signature), family_width);
    field.clear();
    append_variable(field, variable);
    append_padded(lines, field, variable_width);
    field = "0x";
    append_hex_byte(field, variable.type);
    field += ' ';
    field += type_name(variable.type);
    append_padded(lines, field, type_width);
    field = destination_name(variable.attribute);
    if (field.empty()) {
      field = "attr 0x";
      append_hex_byte(field, variable.attribute);
    }
    append_padded(lines, field, destination_width);
    field.clear();
    append_number(field, variable.size);
    if (field.size() < size_width) lines.append(size_width - field.size(), ' ');
    lines += field;
    lines += "  ";
    append_padded(lines, variable.checksum_ok() ? "ok" : "wrong", checksum_width);
    field = '"';
    append_escaped(field, contents.comment, "\"\\");
    field += '"';
    append_padded(lines, field, quoted_comment_width);
    append_escaped(lines, path, "\\");
    lines += '\n';
  }
  return lines;
}

}  // namespace ostrel
