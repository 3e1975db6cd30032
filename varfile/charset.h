#pragma once
// The TI-68k calculators' own character set, in which the names, folders and comments of their
// files are written: ASCII below 0x80, then Greek letters and mathematical symbols, mostly
// Latin-1 above 0xA0. Each byte is decoded to Unicode as TI's link software decodes it, one byte
// to one text, so that the text can be encoded back byte for byte.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel {

/// The UTF-8 text a TI-68k calculator shows for `byte` (empty for 0, which ends a text field).
std::string_view ti_character(std::uint8_t byte);

/// The columns a terminal gives that text: 2 for the four wide characters, 1 for the others.
std::size_t ti_character_width(std::uint8_t byte);

}  // namespace ostrel
