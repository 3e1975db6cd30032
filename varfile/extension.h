#pragma once
// File-name extension rules: which names are variable files, and the name after a change of target.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

/// Target device codes; each is also the device prefix of a file extension.
inline constexpr std::array<std::string_view, 3> device_codes = {"89", "9x", "v2"};

/// Device prefix followed by one type letter, lower case.
inline constexpr std::array<std::string_view, 51> known_extensions = {
    "89a", "89g", "89d", "89c", "89e", "89f", "89i", "89k", "89l",
    "89m", "89p", "89s", "89t", "89u", "89x", "89y", "89z",
    "9xa", "9xg", "9xd", "9xc", "9xe", "9xf", "9xi", "9xk", "9xl",
    "9xm", "9xp", "9xs", "9xt", "9xu", "9xx", "9xy", "9xz",
    "v2a", "v2g", "v2d", "v2c", "v2e", "v2f", "v2i", "v2k", "v2l",
    "v2m", "v2p", "v2s", "v2t", "v2u", "v2x", "v2y", "v2z",
};

/// The type letter of an extension (its last byte) that names each variable type: 's' for a
/// string (0x0C), 'p' for a program (0x12), as link software names its files.
struct TypeLetter {
  std::uint8_t type;
  char letter;
};
inline constexpr std::array<TypeLetter, 18> type_letters = {{
    {0x00, 'e'}, {0x04, 'l'}, {0x06, 'm'}, {0x0A, 'c'}, {0x0B, 't'}, {0x0C, 's'},
    {0x0D, 'd'}, {0x0E, 'a'}, {0x10, 'i'}, {0x12, 'p'}, {0x13, 'f'}, {0x14, 'x'},
    {0x1C, 'y'}, {0x1D, 'g'}, {0x21, 'z'}, {0x23, 'u'}, {0x24, 'k'}, {0x25, 'q'},
}};

/// The letter that names `type`, or none for a type without one.
std::optional<char> type_letter(std::uint8_t type);

/// What a file name's extension says of a TI-68k file, upper and lower case alike: its device
/// prefix ("89", "9x", "v2" or "92") and type letter in lower case, and whether a type has that
/// letter.
struct Ti68kExtension {
  std::string_view extension;  // as the name has it
  std::string prefix;
  char letter;
  bool type_letter;
};

/// The TI-68k extension of `path`: a device prefix and a letter, any case (game.89P); none for a
/// name without one.
std::optional<Ti68kExtension> ti68k_extension(std::string_view path);

/// True when `code` is exactly one of the device codes.
bool is_device_code(std::string_view code);

/// The text after the last "." of the whole path (directories included); none without a ".".
std::optional<std::string_view> extension_of(std::string_view path);

/// True when `extension` is one of the known extensions, compared byte for byte.
bool is_known_extension(std::optional<std::string_view> extension);

/// A copy of `path` whose device prefix (the two bytes before the last one) is replaced by the
/// first two bytes of `target`. Meant for a path with a known extension; a path shorter than
/// three bytes or a target shorter than two is returned unchanged.
std::string retargeted_path(std::string_view path, std::string_view target);

}  // namespace ostrel
