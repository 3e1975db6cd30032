#include "varfile/var_reader.h"

#include <array>
#include <utility>

#include "varfile/header.h"

namespace ostrel {

namespace {

// The layout: the signature (8 bytes), 01 00, the folder and the comment (the fields the editor
// writes), the number of entries (2, little-endian, like every number here) and the entry table
// from offset 60: per entry the data offset (4), the name (8), the type (1), the attribute (1) and
// two more bytes. After the table, the file's length (4) and A5 5A. Each variable's block, at its
// data offset: four zero bytes, the data, and the checksum (2).
constexpr std::size_t signature_size = 8;
constexpr std::size_t count_at = 58;
constexpr std::size_t table_at = 60;
constexpr std::size_t entry_size = 16;
constexpr std::size_t after_table_size = 6;
constexpr std::size_t block_overhead = 6;  // four zero bytes before the data, the checksum after
constexpr std::uint8_t folder_type = 0x1F;

std::uint32_t little_endian(std::string_view bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

// A fixed-width text field: its bytes up to the first zero.
std::string_view text_field(std::string_view bytes, std::size_t at, std::size_t width) {
  const std::string_view field = bytes.substr(at, width);
  return field.substr(0, field.find('\0'));
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 3> families = {{
    {"**TI89**", "TI-89"},
    {"**TI92P*", "TI-92 Plus"},
    {"**TI92**", "TI-92"},
}};

constexpr std::array<std::pair<std::uint8_t, std::string_view>, 12> type_names = {{
    {0x00, "expression"},
    {0x04, "list"},
    {0x06, "matrix"},
    {0x0A, "data"},
    {0x0B, "text"},
    {0x0C, "string"},
    {0x0E, "figure"},
    {0x10, "picture"},
    {0x12, "program"},
    {0x13, "function"},
    {0x14, "macro"},
    {0x21, "assembly program"},
}};

}  // namespace

VarContents read_var_contents(std::string_view bytes) {
  VarContents contents;
  if (bytes.size() < signature_size || family_of(bytes.substr(0, signature_size)).empty()) {
    contents.error = ContentError::not_variable_file;
    return contents;
  }
  contents.signature = bytes.substr(0, signature_size);
  if (bytes.size() < table_at) {
    contents.error = ContentError::truncated;
    return contents;
  }
  contents.folder = text_field(bytes, folder_offset, folder_width);
  contents.comment = text_field(bytes, comment_offset, comment_width);
  const std::size_t count = little_endian(bytes, count_at, 2);
  const std::size_t table_end = table_at + count * entry_size;
  const std::size_t header_end = table_end + after_table_size;
  const std::size_t file_end = bytes.size() < header_end ? 0 : little_endian(bytes, table_end, 4);
  if (bytes.size() < header_end || file_end > bytes.size()) {
    contents.error = ContentError::truncated;
    return contents;
  }

  // Each variable's block ends where the next one starts, the last one where the file does by its
  // header; blocks must follow each other within that.
  std::vector<std::size_t> starts;
  std::string_view folder = contents.folder;
  for (std::size_t entry = table_at; entry < table_end; entry += entry_size) {
    const std::string_view name = text_field(bytes, entry + 4, var_name_width);
    const auto type = static_cast<std::uint8_t>(bytes[entry + 12]);
    if (type == folder_type) {
      folder = name;  // names the folder of the variables after it
      continue;
    }
    contents.variables.push_back(
        {folder, name, type, static_cast<std::uint8_t>(bytes[entry + 13]), 0, 0, 0});
    starts.push_back(little_endian(bytes, entry, 4));
  }
  if (starts.empty()) {
    contents.error = ContentError::no_variables;
    return contents;
  }
  // The whole chain is checked before any block is read: from the end of the header, each block
  // at least as long as its overhead, up to the length the header gives, which is within the file.
  starts.push_back(file_end);
  bool in_place = starts.front() >= header_end;
  for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
    in_place = in_place && starts[i + 1] >= starts[i] + block_overhead;
  }
  if (!in_place) {
    contents.error = ContentError::bad_offset;
    return contents;
  }
  for (std::size_t i = 0; i < contents.variables.size(); ++i) {
    const std::size_t start = starts[i];
    const std::size_t end = starts[i + 1];
    VarEntry& variable = contents.variables[i];
    variable.size = static_cast<std::uint32_t>(end - start - block_overhead);
    std::uint16_t sum = 0;
    for (const char byte : bytes.substr(start + 4, variable.size)) {
      sum = static_cast<std::uint16_t>(sum + static_cast<std::uint8_t>(byte));
    }
    variable.computed_checksum = sum;
    variable.stored_checksum = static_cast<std::uint16_t>(little_endian(bytes, end - 2, 2));
  }
  return contents;
}

std::string_view family_of(std::string_view signature) {
  for (const auto& [stored, family] : families) {
    if (stored == signature) return family;
  }
  return {};
}

std::string_view type_name(std::uint8_t type) {
  for (const auto& [id, name] : type_names) {
    if (id == type) return name;
  }
  return "other";
}

std::string_view destination_name(std::uint8_t attribute) {
  constexpr std::array<std::string_view, 3> names = {"RAM", "RAM, locked", "Archive"};
  return attribute < names.size() ? names[attribute] : std::string_view();
}

std::string_view content_error_text(ContentError error) {
  constexpr std::array<std::string_view, 5> texts = {
      "",
      "not a TI-68k variable file",
      "truncated: the file ends before its header says",
      "damaged: a variable's offset is out of place",
      "the file lists no variable",
  };
  return texts[static_cast<std::size_t>(error)];
}

std::string_view load_error_text(LoadError error) {
  constexpr std::array<std::string_view, 7> texts = {
      "",
      "no such file",
      "permission denied",
      "is a directory",
      "not a regular file",
      "too large to be a TI-68k variable file",
      "cannot be read",
  };
  return texts[static_cast<std::size_t>(error)];
}

}  // namespace ostrel
