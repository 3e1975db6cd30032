#include "varfile/header.h"

#include <algorithm>

#include "varfile/charset.h"

namespace ostrel {

FileForm form_of(std::string_view head) {
  const std::string_view signature = head.substr(0, signature_size);
  if (is_other_kind(signature)) return FileForm::other_kind;
  // What the fixed offsets were made for, and whatever cannot be told apart, is edited there.
  const auto has_folder_entry = [head](std::size_t index) {
    const std::size_t type_at = entry_at(index) + entry_type;
    return type_at < head.size() && static_cast<std::uint8_t>(head[type_at]) == folder_entry_type;
  };
  if (family_of(signature).empty() || !has_folder_entry(0)) return FileForm::fixed;
  const std::uint32_t count = little_endian(head, entry_count_offset, 2);
  if (count == 0) return FileForm::fixed;  // no entry: the byte looked at is not a type
  // A folder entry first: one variable behind it, or a group. A second entry that cannot be
  // seen counts as a group, whose variables are never edited.
  const bool second_is_variable = entry_at(1) + entry_type < head.size() && !has_folder_entry(1);
  return count == 2 && second_is_variable ? FileForm::folder_entry_first : FileForm::group;
}

FieldFill fill_field(std::string_view value, std::span<char> field) {
  // The characters that fit as the calculator's bytes, one each, are read first: the part kept
  // is written as the calculator's text when all of it is UTF-8 the calculator has.
  bool utf8 = true;
  bool calculator = true;
  for (std::size_t at = 0, kept = 0; at < value.size() && utf8 && kept < field.size(); ++kept) {
    const TypedChar c = typed_char_at(value, at);
    utf8 = c.length > 0;
    calculator = calculator && c.byte != 0;
    at += c.length;
  }
  const bool as_calculator = utf8 && calculator;
  FieldFill fill;
  fill.lacking = utf8 && !calculator;
  for (std::size_t size = 0; fill.taken < value.size();) {
    const TypedChar c = utf8 ? typed_char_at(value, fill.taken) : TypedChar{1, 0};
    const std::size_t written = as_calculator ? 1 : c.length;
    if (size + written > field.size()) {
      fill.truncated = true;
      break;
    }
    if (as_calculator) {
      field[size] = static_cast<char>(c.byte);
    } else {
      value.copy(field.data() + size, c.length, fill.taken);
    }
    size += written;
    fill.taken += c.length;
  }
  return fill;
}

std::string_view signature_for(std::string_view target) {
  return target == "89" ? ti89_signature : ti92_plus_signature;
}

FieldPlaces field_places(FileForm form) {
  if (form != FileForm::folder_entry_first) {
    return {entry_at(0) + entry_name, entry_at(0) + entry_attribute, 0};
  }
  return {entry_at(1) + entry_name, entry_at(1) + entry_attribute, entry_at(0) + entry_name};
}

}  // namespace ostrel
