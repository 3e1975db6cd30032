#pragma once
// Header fields of a TI-68k single-variable file and the operations that write them.
// Nothing here reads the file: every operation writes a fixed field at a fixed offset.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "varfile/var_file.h"

namespace ostrel {

inline constexpr std::uint64_t signature_offset = 0;
inline constexpr std::uint64_t folder_offset = 10;
inline constexpr std::uint64_t comment_offset = 18;
inline constexpr std::uint64_t var_name_offset = 64;
inline constexpr std::uint64_t attribute_offset = 73;

inline constexpr std::size_t folder_width = 8;
inline constexpr std::size_t comment_width = 40;
inline constexpr std::size_t var_name_width = 8;

/// A fixed-width text field as stored in the header: the first N bytes of a value,
/// followed by zero bytes up to N when the value is shorter.
template <std::size_t N>
struct FieldImage {
  std::array<char, N> bytes{};
  std::size_t used = 0;    // bytes taken from the value
  bool truncated = false;  // the value was longer than N bytes

  /// The value as truncated to N bytes.
  std::string_view text() const { return {bytes.data(), used}; }
};

/// Builds the zero-filled field image of `value`, keeping at most N bytes.
template <std::size_t N>
FieldImage<N> make_field_image(std::string_view value) {
  FieldImage<N> image;
  image.used = value.size() < N ? value.size() : N;
  image.truncated = value.size() > N;
  value.copy(image.bytes.data(), image.used);
  return image;
}

using FolderField = FieldImage<folder_width>;
using VarNameField = FieldImage<var_name_width>;
using CommentField = FieldImage<comment_width>;

/// The eight signature bytes for a target device code: "89" is a TI-89, anything else a TI-92 Plus.
std::string_view signature_for(std::string_view target);

// Each operation returns false when the write did not complete.
[[nodiscard]] bool write_attribute(VarFile& file, std::uint8_t code);
[[nodiscard]] bool write_folder_name(VarFile& file, const FolderField& field);
/// Zeroes only the first byte of the folder: the receiving unit then uses its current folder.
[[nodiscard]] bool clear_folder_name(VarFile& file);
[[nodiscard]] bool write_var_name(VarFile& file, const VarNameField& field);
[[nodiscard]] bool write_comment(VarFile& file, const CommentField& field);
[[nodiscard]] bool write_signature(VarFile& file, std::string_view target);

}  // namespace ostrel
