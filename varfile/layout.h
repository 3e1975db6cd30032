#pragma once
// The layout of a TI-68k variable file, shared by the editor and the reader: where each field is,
// the signatures and the attribute codes. Every number in the file is little-endian.
//
//   0   signature (8)           58  number of entries (2)
//   8   01 00                   60  the entry table: per entry the data offset (4), the name (8),
//   10  folder (8)                  the type (1), the attribute (1) and two more bytes; a folder
//   18  comment (40)                entry's two bytes count the variables after it in its folder
//
// After the table come the file's length (4) and A5 5A; then, at each entry's data offset, its
// block: four zero bytes, the data, and a two-byte checksum.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel {

inline constexpr std::size_t signature_offset = 0;
inline constexpr std::size_t signature_size = 8;
inline constexpr std::size_t folder_offset = 10;
inline constexpr std::size_t folder_width = 8;
inline constexpr std::size_t comment_offset = 18;
inline constexpr std::size_t comment_width = 40;
inline constexpr std::size_t entry_count_offset = 58;
inline constexpr std::size_t entry_table_offset = 60;
inline constexpr std::size_t entry_size = 16;

// Within an entry.
inline constexpr std::size_t entry_data_offset = 0;
inline constexpr std::size_t entry_name = 4;
inline constexpr std::size_t var_name_width = 8;
inline constexpr std::size_t entry_type = 12;
inline constexpr std::size_t entry_attribute = 13;
inline constexpr std::size_t entry_folder_count = 14;  // a folder entry's: the variables in it

inline constexpr std::size_t after_table_size = 6;  // the file's length and A5 5A
inline constexpr std::size_t block_overhead = 6;    // four zero bytes before the data, the checksum after

/// The type of an entry that names the folder of the variables after it, rather than a variable.
inline constexpr std::uint8_t folder_entry_type = 0x1F;
/// The type of an assembly program: machine code, for the calculator it was built for.
inline constexpr std::uint8_t machine_code_type = 0x21;

/// The little-endian number of `width` bytes at `at`.
constexpr std::uint32_t little_endian(std::string_view bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

/// Where entry `index` of the table starts.
constexpr std::size_t entry_at(std::size_t index) { return entry_table_offset + index * entry_size; }

// Attribute codes: where the variable goes on the receiving unit. Link software writes 3 for an
// archived variable, and reads 2 and 3 alike.
inline constexpr std::uint8_t attribute_ram = 0;
inline constexpr std::uint8_t attribute_locked = 1;
inline constexpr std::uint8_t attribute_archived = 2;
inline constexpr std::uint8_t attribute_archived_too = 3;

inline constexpr std::string_view ti89_signature = "**TI89**";
inline constexpr std::string_view ti92_plus_signature = "**TI92P*";
/// Flash applications, operating systems and certificates.
inline constexpr std::string_view flash_signature = "**TIFL**";

/// True when two signatures are the same, upper and lower case alike, as link software compares
/// them.
constexpr bool same_signature(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

/// The TI-68k variable file signatures and the calculator family each names.
struct Family {
  std::string_view signature;
  std::string_view name;
};
inline constexpr std::array<Family, 4> families = {{
    {ti89_signature, "TI-89"},
    {ti92_plus_signature, "TI-92 Plus"},
    {"**TI92**", "TI-92"},
    {"**V200**", "Voyage 200"},
}};

/// Signatures of variable files of the other calculator families, which share the look of a
/// TI-68k variable file but not its layout.
inline constexpr std::array<std::string_view, 6> other_family_signatures = {
    "**TI73**", "**TI82**", "**TI83**", "**TI83F*", "**TI85**", "**TI86**",
};

/// The calculator family a signature names, or empty for a signature of no TI-68k family.
constexpr std::string_view family_of(std::string_view signature) {
  for (const Family& family : families) {
    if (same_signature(family.signature, signature)) return family.name;
  }
  return {};
}

/// True for a signature of a file that is not a TI-68k variable file though it looks like one:
/// a Flash file, or a variable of another calculator family.
constexpr bool is_other_kind(std::string_view signature) {
  if (same_signature(signature, flash_signature)) return true;
  for (const std::string_view other : other_family_signatures) {
    if (same_signature(other, signature)) return true;
  }
  return false;
}

}  // namespace ostrel
