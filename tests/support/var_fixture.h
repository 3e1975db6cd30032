#pragma once
// Builds genuine TI-68k single-variable files for the tests to edit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::testing {

using Bytes = std::vector<std::uint8_t>;

struct VarSpec {
  std::string signature = "**TI89**";
  std::string folder = "main";
  std::string comment;
  std::string name = "var";
  std::uint8_t type = 0x0C;  // string
  std::uint8_t attribute = 0;
  Bytes body;  // variable data after its two size bytes
};

/// The whole file: header, data (size, big-endian, then body) and checksum.
Bytes build_var_file(const VarSpec& var);

/// A group file holding `vars` in order, a folder entry before each change of folder; the header's
/// folder is empty, its signature and comment those of the first variable.
Bytes build_group_file(const std::vector<VarSpec>& vars);

/// One part of a Flash file: an application for the TI-89 unless said otherwise.
struct FlashPartSpec {
  std::string name = "tetris";
  std::uint8_t device_type = 0x98;  // TI-89; 0x88 TI-92 Plus
  std::uint8_t data_type = 0x24;    // application; 0x23 OS, 0x25 certificate, 0x3E licence
  std::uint8_t revision[2] = {0x02, 0x09};
  std::uint8_t date[4] = {0x15, 0x03, 0x20, 0x04};  // day, month, century, year, in BCD
  Bytes data = {0x81, 0x0D, 0x00, 0x00};  // signed data starts with 0x81
};

/// A Flash file holding `parts` in order, each a 78-byte header and its data.
Bytes build_flash_file(const std::vector<FlashPartSpec>& parts);

/// The data body of a string variable holding `text`.
Bytes string_body(const std::string& text);

/// A string variable "hello" in folder main: the file shipped as examples/hello.89s.
VarSpec sample_spec();

/// Bytes to write at an offset.
struct Patch {
  std::size_t offset;
  std::string bytes;
};

/// `bytes` with each patch written over it in order; a patch past the end first zero-fills.
Bytes patched(Bytes bytes, const std::vector<Patch>& patches);

/// The first `size` bytes of `bytes`.
Bytes cut(Bytes bytes, std::size_t size);

/// `n` zero bytes.
std::string zeros(std::size_t n);

}  // namespace ostrel::testing
