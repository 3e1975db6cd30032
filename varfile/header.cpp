#include "varfile/header.h"

#include <algorithm>

namespace ostrel {

namespace {

// The entry whose name and attribute are the variable's: behind the folder entry, or the first.
std::size_t variable_entry(FileForm form) {
  return entry_at(form == FileForm::folder_entry_first ? 1 : 0);
}

// The name of the folder entry in front of the variable, for the form that has one.
constexpr std::size_t folder_entry_name = entry_at(0) + entry_name;

}  // namespace

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

std::string_view signature_for(std::string_view target) {
  return target == "89" ? ti89_signature : ti92_plus_signature;
}

bool write_attribute(VarFile& file, FileForm form, std::uint8_t code) {
  const char byte = static_cast<char>(code);
  return file.write_at(variable_entry(form) + entry_attribute, {&byte, 1});
}

bool write_folder_name(VarFile& file, FileForm form, const FolderField& field) {
  const std::string_view bytes(field.bytes.data(), field.bytes.size());
  return file.write_at(folder_offset, bytes) &&
         (form != FileForm::folder_entry_first || file.write_at(folder_entry_name, bytes));
}

bool clear_folder_name(VarFile& file, FileForm form) {
  const char zero = 0;
  return file.write_at(folder_offset, {&zero, 1}) &&
         (form != FileForm::folder_entry_first || file.write_at(folder_entry_name, {&zero, 1}));
}

bool write_var_name(VarFile& file, FileForm form, const VarNameField& field) {
  return file.write_at(variable_entry(form) + entry_name, {field.bytes.data(), field.bytes.size()});
}

bool write_comment(VarFile& file, FileForm, const CommentField& field) {
  return file.write_at(comment_offset, {field.bytes.data(), field.bytes.size()});
}

bool write_signature(VarFile& file, std::string_view target) {
  return file.write_at(signature_offset, signature_for(target));
}

}  // namespace ostrel
