#include "varfile/var_reader.h"

#include <array>
#include <utility>

#include "varfile/layout.h"

namespace ostrel {

namespace {

// A fixed-width text field: its bytes up to the first zero.
std::string_view text_field(std::string_view bytes, std::size_t at, std::size_t width) {
  const std::string_view field = bytes.substr(at, width);
  return field.substr(0, field.find('\0'));
}

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
  if (bytes.size() < entry_table_offset) {
    contents.error = ContentError::truncated;
    return contents;
  }
  contents.folder = text_field(bytes, folder_offset, folder_width);
  contents.comment = text_field(bytes, comment_offset, comment_width);
  const std::size_t count = little_endian(bytes, entry_count_offset, 2);
  const std::size_t table_end = entry_at(count);
  const std::size_t header_end = table_end + after_table_size;
  const std::size_t file_end = bytes.size() < header_end ? 0 : little_endian(bytes, table_end, 4);
  if (bytes.size() < header_end || file_end > bytes.size()) {
    contents.error = ContentError::truncated;
    return contents;
  }

  // Each variable's block ends where the next one starts, the last one where the file does by its
  // header; blocks must follow each other within that. Until they are read, each variable's size
  // holds where its block starts.
  std::string_view folder = contents.folder;
  for (std::size_t entry = entry_table_offset; entry < table_end; entry += entry_size) {
    const std::string_view name = text_field(bytes, entry + entry_name, var_name_width);
    const auto type = static_cast<std::uint8_t>(bytes[entry + entry_type]);
    if (type == folder_entry_type) {
      folder = name;  // names the folder of the variables after it
      continue;
    }
    contents.variables.push_back({folder, name, type,
                                  static_cast<std::uint8_t>(bytes[entry + entry_attribute]),
                                  little_endian(bytes, entry + entry_data_offset, 4), 0, 0});
  }
  if (contents.variables.empty()) {
    contents.error = ContentError::no_variables;
    return contents;
  }
  // The whole chain is checked before any block is read: from the end of the header, each block
  // at least as long as its overhead, up to the length the header gives, which is within the file.
  const auto start_of = [&](std::size_t i) -> std::size_t {
    return i < contents.variables.size() ? contents.variables[i].size : file_end;
  };
  bool in_place = start_of(0) >= header_end;
  for (std::size_t i = 0; i < contents.variables.size(); ++i) {
    in_place = in_place && start_of(i + 1) >= start_of(i) + block_overhead;
  }
  if (!in_place) {
    contents.error = ContentError::bad_offset;
    return contents;
  }
  for (std::size_t i = 0; i < contents.variables.size(); ++i) {
    const std::size_t start = start_of(i);
    const std::size_t end = start_of(i + 1);
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

std::string_view type_name(std::uint8_t type) {
  for (const auto& [id, name] : type_names) {
    if (id == type) return name;
  }
  return "other";
}

std::string_view destination_name(std::uint8_t attribute) {
  switch (attribute) {
    case attribute_ram: return "RAM";
    case attribute_locked: return "RAM, locked";
    case attribute_archived:
    case attribute_archived_too: return "Archive";
    default: return {};
  }
}

}  // namespace ostrel
