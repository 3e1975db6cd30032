#pragma once
// Header fields of a TI-68k variable file as an edit writes them. Where the variable's own fields
// are depends on the form of the file, which its first bytes tell.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "varfile/layout.h"

namespace ostrel {

/// How a file holds its variable, as far as the editor is concerned.
enum class FileForm {
  fixed,               // the variable's entry first, or a file not recognised: the fixed offsets
  folder_entry_first,  // two entries, a folder entry and then the one variable in it
  group,               // a folder entry first and not the form above: several variables
  other_kind,          // a Flash application or OS, or a variable of another calculator family
};

/// The bytes form_of() looks at: the header up to the end of the second entry.
inline constexpr std::size_t form_probe_size = entry_at(2);

/// The form of a file whose first bytes (up to form_probe_size of them) are `head`.
FileForm form_of(std::string_view head);

/// What fill_field() put in a text field.
struct FieldFill {
  std::size_t taken = 0;   // bytes of the value it holds: the value as typed, cut there
  bool truncated = false;  // the value did not fit whole
  bool lacking = false;    // UTF-8 with a character the calculator lacks: written as given
};

/// Writes the typed `value` into the zero-filled `field` as the calculator stores text: where the
/// characters that fit the field, one byte each, are valid UTF-8 the calculator has, as the
/// calculator's bytes (ASCII as it is); otherwise as the value's bytes. Whatever does not fit is
/// cut, at a character where the value is UTF-8, at the field's width where it is not.
FieldFill fill_field(std::string_view value, std::span<char> field);

/// A fixed-width text field as stored in the header: the value's bytes as fill_field() writes
/// them, followed by zero bytes up to N.
template <std::size_t N>
struct FieldImage : FieldFill {
  std::array<char, N> bytes{};
};

/// Builds the zero-filled field image of `value`.
template <std::size_t N>
FieldImage<N> make_field_image(std::string_view value) {
  FieldImage<N> image;
  static_cast<FieldFill&>(image) = fill_field(value, image.bytes);
  return image;
}

using FolderField = FieldImage<folder_width>;
using VarNameField = FieldImage<var_name_width>;
using CommentField = FieldImage<comment_width>;

/// The eight signature bytes for a target device code: "89" is a TI-89, anything else a TI-92 Plus.
std::string_view signature_for(std::string_view target);

/// Where an edit writes the variable's own fields in a file of a form it edits (fixed or
/// folder_entry_first): its name and attribute in its entry, and behind a folder entry, that
/// entry's name, which names the folder. The header's folder and comment are at their fixed
/// places in every form.
struct FieldPlaces {
  std::size_t var_name;
  std::size_t attribute;
  std::size_t folder_entry_name;  // 0 when there is no folder entry
};
FieldPlaces field_places(FileForm form);

}  // namespace ostrel
