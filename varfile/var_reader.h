#pragma once
// Reads what a TI-68k variable file holds: the header, every variable its entry table lists, and
// whether each variable's checksum is right. Reading is a pure function over the file's bytes, so
// a damaged or hostile file can only be refused, never read past its end.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "varfile/layout.h"

namespace ostrel {

/// One variable of a file. Text fields are views into the file's bytes, up to the first zero.
struct VarEntry {
  std::string_view folder;
  std::string_view name;
  std::uint8_t type = 0;
  std::uint8_t attribute = 0;
  std::uint32_t size = 0;  // bytes of variable data (its own two size bytes included)
  std::uint16_t stored_checksum = 0;
  std::uint16_t computed_checksum = 0;  // the sum of the data bytes, modulo 65536

  bool checksum_ok() const { return stored_checksum == computed_checksum; }
};

/// Why a file's bytes cannot be read as a variable file.
enum class ContentError {
  none,
  not_variable_file,  // no TI-68k signature
  not_ti68k_flash,    // a Flash file for a calculator of another family
  truncated,          // the header, the entry table or a variable ends past the end of the file
  bad_offset,         // a variable starts inside the header or before the one listed before it
  no_variables,       // the entry table lists no variable
};

struct VarContents {
  ContentError error = ContentError::none;
  std::string_view signature;
  std::string_view folder;  // the header's folder field
  std::string_view comment;
  std::vector<VarEntry> variables;
};

/// Reads the header and every variable of the file whose whole content is `bytes`.
VarContents read_var_contents(std::string_view bytes);

/// The name of a variable type: "program", "string" and so on, or "other".
std::string_view type_name(std::uint8_t type);

/// Where a variable goes on the calculator: "RAM", "RAM, locked" or "Archive" (the attribute
/// bytes 2 and 3 alike); empty for an attribute byte that names none of them.
std::string_view destination_name(std::uint8_t attribute);

}  // namespace ostrel
