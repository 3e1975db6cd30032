#include "tests/support/var_fixture.h"

#include <algorithm>

namespace ostrel::testing {

namespace {

void put_field(Bytes& file, std::size_t offset, std::size_t width, const std::string& value) {
  std::copy_n(value.begin(), std::min(width, value.size()), file.begin() + offset);
}

void put_le(Bytes& file, std::size_t offset, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) file[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One entry of the table at 60: data offset, name, type, attribute (and two zero bytes).
void put_entry(Bytes& file, std::size_t index, std::size_t offset, const std::string& name,
               std::uint8_t type, std::uint8_t attribute) {
  const std::size_t at = 60 + 16 * index;
  put_le(file, at, static_cast<std::uint32_t>(offset), 4);
  put_field(file, at + 4, 8, name);
  file[at + 12] = type;
  file[at + 13] = attribute;
}

// A variable's block: four zero bytes, the data (size, big-endian, then body), the checksum.
void append_block(Bytes& file, const VarSpec& var) {
  Bytes data;
  data.push_back(static_cast<std::uint8_t>(var.body.size() >> 8));
  data.push_back(static_cast<std::uint8_t>(var.body.size()));
  data.insert(data.end(), var.body.begin(), var.body.end());
  file.insert(file.end(), 4, 0);
  file.insert(file.end(), data.begin(), data.end());
  std::uint32_t sum = 0;
  for (std::uint8_t byte : data) sum += byte;
  file.push_back(static_cast<std::uint8_t>(sum));
  file.push_back(static_cast<std::uint8_t>(sum >> 8));
}

// The header of a file of `entries` table entries, up to and including A5 5A; the table and the
// file length are left for the caller.
Bytes header(const VarSpec& first, const std::string& folder, std::size_t entries) {
  Bytes file(60 + 16 * entries + 6, 0);
  put_field(file, 0, 8, first.signature);
  file[8] = 0x01;
  put_field(file, 10, 8, folder);
  put_field(file, 18, 40, first.comment);
  put_le(file, 58, static_cast<std::uint32_t>(entries), 2);
  file[file.size() - 2] = 0xA5;
  file[file.size() - 1] = 0x5A;
  return file;
}

}  // namespace

Bytes build_var_file(const VarSpec& var) {
  Bytes file = header(var, var.folder, 1);
  put_entry(file, 0, file.size(), var.name, var.type, var.attribute);
  append_block(file, var);
  put_le(file, 76, static_cast<std::uint32_t>(file.size()), 4);
  return file;
}

Bytes build_group_file(const std::vector<VarSpec>& vars) {
  std::size_t entries = vars.size();
  const auto new_folder = [&](std::size_t i) {
    return i == 0 || vars[i].folder != vars[i - 1].folder;
  };
  for (std::size_t i = 0; i < vars.size(); ++i) entries += new_folder(i);
  Bytes file = header(vars.front(), "", entries);
  std::size_t entry = 0;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    if (new_folder(i)) {
      put_entry(file, entry, file.size(), vars[i].folder, 0x1F, 0);
      std::size_t in_folder = 1;  // the folder entry counts the variables after it in its folder
      while (i + in_folder < vars.size() && !new_folder(i + in_folder)) ++in_folder;
      put_le(file, 60 + 16 * entry++ + 14, static_cast<std::uint32_t>(in_folder), 2);
    }
    put_entry(file, entry++, file.size(), vars[i].name, vars[i].type, vars[i].attribute);
    append_block(file, vars[i]);
  }
  put_le(file, 60 + 16 * entries, static_cast<std::uint32_t>(file.size()), 4);
  return file;
}

Bytes build_flash_file(const std::vector<FlashPartSpec>& parts) {
  Bytes file;
  for (const FlashPartSpec& part : parts) {
    Bytes header(78, 0);
    put_field(header, 0, 8, "**TIFL**");
    std::copy_n(part.revision, 2, header.begin() + 8);
    std::copy_n(part.date, 4, header.begin() + 12);
    header[16] = static_cast<std::uint8_t>(std::min<std::size_t>(part.name.size(), 8));
    put_field(header, 17, 8, part.name);
    header[48] = part.device_type;
    header[49] = part.data_type;
    put_le(header, 74, static_cast<std::uint32_t>(part.data.size()), 4);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), part.data.begin(), part.data.end());
  }
  return file;
}

Bytes string_body(const std::string& text) {
  Bytes body(text.size() + 3, 0x00);  // 00, the text, 00, tag
  std::copy(text.begin(), text.end(), body.begin() + 1);
  body.pop_back();
  body.push_back(0x2D);  // string tag
  return body;
}

Bytes patched(Bytes bytes, const std::vector<Patch>& patches) {
  for (const Patch& p : patches) {
    if (bytes.size() < p.offset + p.bytes.size()) bytes.resize(p.offset + p.bytes.size(), 0);
    std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + static_cast<long>(p.offset));
  }
  return bytes;
}

Bytes cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::string zeros(std::size_t n) { return std::string(n, '\0'); }

VarSpec sample_spec() {
  VarSpec var;
  var.comment = "ostrel sample: a string variable";
  var.name = "hello";
  var.body = string_body("Hello from ostrel");
  return var;
}

}  // namespace ostrel::testing
