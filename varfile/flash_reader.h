#pragma once
// Reads what a TI-68k Flash file (signature **TIFL**) holds: one or more parts, each an
// application, an operating system, a certificate or a licence, with a header of its own before
// its data. Reading is a pure function over the file's bytes, as for variable files.

#include <cstdint>
#include <string_view>
#include <vector>

#include "varfile/var_reader.h"

namespace ostrel {

/// One part of a Flash file, as its header gives it.
struct FlashPart {
  std::string_view name;  // a view into the file's bytes, up to the first zero
  std::uint8_t device_type = 0;  // which calculators it is for
  std::uint8_t data_type = 0;    // what it is: application, operating system, ...
  std::uint8_t revision_major = 0;
  std::uint8_t revision_minor = 0;
  std::uint8_t day = 0;  // the date, in binary-coded decimal: 0x15 is the 15th
  std::uint8_t month = 0;
  std::uint16_t year = 0;  // 0x2004 is 2004: the file's bytes 20 04, century first
  std::uint32_t size = 0;  // bytes of data after the part's header
};

struct FlashContents {
  ContentError error = ContentError::none;
  std::string_view signature;
  std::vector<FlashPart> parts;
};

/// True when `signature` is that of a Flash file.
bool is_flash(std::string_view signature);

/// Reads every part of the Flash file whose whole content is `bytes`. Parts follow each other,
/// each a header and its data; bytes after the last part that start no part are not read. A
/// file read without error has at least one part.
FlashContents read_flash_contents(std::string_view bytes);

/// The calculator family of a device type (TI-89, TI-92 Plus), or empty for another one.
std::string_view flash_family(std::uint8_t device_type);

/// What a part is, by its data type: "application", "operating system", "certificate",
/// "licence", or "other".
std::string_view flash_kind(std::uint8_t data_type);

}  // namespace ostrel
