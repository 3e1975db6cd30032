// The bundled sample is the genuine file the fixture builds, so it can be regenerated.

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {

TEST(Sample, IsWhatTheFixtureBuilds) {
  const Bytes sample = read_bytes(OSTREL_SAMPLE);
  EXPECT_EQ(sample, build_var_file(sample_spec()));
}

TEST(Fixture, LayoutOfAStringVariable) {
  VarSpec var;
  var.body = string_body("AB");  // 00 41 42 00 2D
  const Bytes file = build_var_file(var);
  ASSERT_EQ(file.size(), 88u + 7u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "**TI89**");
  EXPECT_EQ(file[76], 95);  // file length, little-endian
  EXPECT_EQ(file[86], 0x00);  // data size, big-endian
  EXPECT_EQ(file[87], 0x05);
  const unsigned sum = 0x05 + 0x41 + 0x42 + 0x2D;
  EXPECT_EQ(file[93], sum & 0xFF);
  EXPECT_EQ(file[94], sum >> 8);
}

}  // namespace ostrel::testing
