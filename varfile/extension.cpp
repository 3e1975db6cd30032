#include "varfile/extension.h"

#include <algorithm>

namespace ostrel {

std::optional<char> type_letter(std::uint8_t type) {
  for (const TypeLetter& entry : type_letters) {
    if (entry.type == type) return entry.letter;
  }
  return std::nullopt;
}

std::optional<Ti68kExtension> ti68k_extension(std::string_view path) {
  const std::optional<std::string_view> extension = extension_of(path);
  if (!extension || extension->size() != 3) return std::nullopt;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  const char letter = lower((*extension)[2]);
  Ti68kExtension says{
      *extension, {lower((*extension)[0]), lower((*extension)[1])}, letter,
      std::any_of(type_letters.begin(), type_letters.end(),
                  [letter](const TypeLetter& type) { return type.letter == letter; })};
  if (says.prefix != "92" && !is_device_code(says.prefix)) return std::nullopt;
  return says;
}

bool is_device_code(std::string_view code) {
  return std::find(device_codes.begin(), device_codes.end(), code) != device_codes.end();
}

std::optional<std::string_view> extension_of(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return path.substr(dot + 1);
}

bool is_known_extension(std::optional<std::string_view> extension) {
  return extension &&
         std::find(known_extensions.begin(), known_extensions.end(), *extension) !=
             known_extensions.end();
}

std::string retargeted_path(std::string_view path, std::string_view target) {
  std::string result(path);
  if (result.size() >= 3 && target.size() >= 2) {
    result[result.size() - 3] = target[0];
    result[result.size() - 2] = target[1];
  }
  return result;
}

}  // namespace ostrel
