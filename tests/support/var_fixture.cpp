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

}  // namespace

Bytes build_var_file(const VarSpec& var) {
  Bytes data;
  data.push_back(static_cast<std::uint8_t>(var.body.size() >> 8));
  data.push_back(static_cast<std::uint8_t>(var.body.size()));
  data.insert(data.end(), var.body.begin(), var.body.end());

  Bytes file(86, 0);
  put_field(file, 0, 8, var.signature);
  file[8] = 0x01;
  put_field(file, 10, 8, var.folder);
  put_field(file, 18, 40, var.comment);
  put_le(file, 58, 1, 2);   // entry count
  put_le(file, 60, 82, 4);  // data offset
  put_field(file, 64, 8, var.name);
  file[72] = var.type;
  file[73] = var.attribute;
  put_le(file, 76, static_cast<std::uint32_t>(88 + data.size()), 4);
  file[80] = 0xA5;
  file[81] = 0x5A;
  file.insert(file.end(), data.begin(), data.end());

  std::uint32_t sum = 0;
  for (std::uint8_t byte : data) sum += byte;
  file.push_back(static_cast<std::uint8_t>(sum));
  file.push_back(static_cast<std::uint8_t>(sum >> 8));
  return file;
}

Bytes string_body(const std::string& text) {
  Bytes body(text.size() + 3, 0x00);  // 00, the text, 00, tag
  std::copy(text.begin(), text.end(), body.begin() + 1);
  body.pop_back();
  body.push_back(0x2D);  // string tag
  return body;
}

VarSpec sample_spec() {
  VarSpec var;
  var.comment = "ostrel sample: a string variable";
  var.name = "hello";
  var.body = string_body("Hello from ostrel");
  return var;
}

}  // namespace ostrel::testing
