#include "varfile/header.h"

namespace ostrel {

std::string_view signature_for(std::string_view target) {
  return target == "89" ? "**TI89**" : "**TI92P*";
}

bool write_attribute(VarFile& file, std::uint8_t code) {
  const char byte = static_cast<char>(code);
  return file.write_at(attribute_offset, {&byte, 1});
}

bool write_folder_name(VarFile& file, const FolderField& field) {
  return file.write_at(folder_offset, {field.bytes.data(), field.bytes.size()});
}

bool clear_folder_name(VarFile& file) {
  const char zero = 0;
  return file.write_at(folder_offset, {&zero, 1});
}

bool write_var_name(VarFile& file, const VarNameField& field) {
  return file.write_at(var_name_offset, {field.bytes.data(), field.bytes.size()});
}

bool write_comment(VarFile& file, const CommentField& field) {
  return file.write_at(comment_offset, {field.bytes.data(), field.bytes.size()});
}

bool write_signature(VarFile& file, std::string_view target) {
  return file.write_at(signature_offset, signature_for(target));
}

}  // namespace ostrel
