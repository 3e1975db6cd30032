#include "varfile/flash_reader.h"

#include <array>
#include <utility>

#include "varfile/layout.h"

namespace ostrel {

namespace {

// A part's header: the signature, the revision (major, minor), flags, object type, the date
// (day, month, the year's century and its last two digits), the name's length and the name (8),
// the device type and data type at 48, the hardware id at 73, and the length of the data that
// follows it, at 74.
constexpr std::size_t revision_at = 8;
constexpr std::size_t date_at = 12;
constexpr std::size_t name_at = 17;
constexpr std::size_t name_width = 8;
constexpr std::size_t device_type_at = 48;
constexpr std::size_t data_type_at = 49;
constexpr std::size_t data_length_at = 74;
constexpr std::size_t part_header_size = 78;

constexpr std::array<std::pair<std::uint8_t, std::string_view>, 2> device_families = {{
    {0x98, "TI-89"},
    {0x88, "TI-92 Plus"},
}};

constexpr std::array<std::pair<std::uint8_t, std::string_view>, 4> kinds = {{
    {0x23, "operating system"},
    {0x24, "application"},
    {0x25, "certificate"},
    {0x3E, "licence"},
}};

std::uint8_t byte_at(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]);
}

}  // namespace

bool is_flash(std::string_view signature) { return same_signature(signature, flash_signature); }

FlashContents read_flash_contents(std::string_view bytes) {
  FlashContents contents;
  if (!is_flash(bytes.substr(0, signature_size))) {
    contents.error = ContentError::not_variable_file;
    return contents;
  }
  contents.signature = bytes.substr(0, signature_size);
  while (!bytes.empty() && is_flash(bytes.substr(0, signature_size))) {
    if (bytes.size() < part_header_size) {
      contents.error = ContentError::truncated;
      return contents;
    }
    FlashPart part;
    const std::string_view name = bytes.substr(name_at, name_width);
    part.name = name.substr(0, name.find('\0'));
    part.device_type = byte_at(bytes, device_type_at);
    part.data_type = byte_at(bytes, data_type_at);
    part.revision_major = byte_at(bytes, revision_at);
    part.revision_minor = byte_at(bytes, revision_at + 1);
    part.day = byte_at(bytes, date_at);
    part.month = byte_at(bytes, date_at + 1);
    part.year =
        static_cast<std::uint16_t>(byte_at(bytes, date_at + 2) << 8 | byte_at(bytes, date_at + 3));
    part.size = little_endian(bytes, data_length_at, 4);
    if (bytes.size() - part_header_size < part.size) {
      contents.error = ContentError::truncated;
      return contents;
    }
    if (flash_family(part.device_type).empty()) {
      contents.error = ContentError::not_ti68k_flash;
      return contents;
    }
    contents.parts.push_back(part);
    bytes.remove_prefix(part_header_size + part.size);
  }
  return contents;
}

std::string_view flash_family(std::uint8_t device_type) {
  for (const auto& [type, family] : device_families) {
    if (type == device_type) return family;
  }
  return {};
}

std::string_view flash_kind(std::uint8_t data_type) {
  for (const auto& [type, kind] : kinds) {
    if (type == data_type) return kind;
  }
  return "other";
}

}  // namespace ostrel
