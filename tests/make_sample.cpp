// Writes the sample variable file bundled in examples/: make_sample <path>.

#include <cstdio>

#include "tests/support/process.h"
#include "tests/support/var_fixture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_sample <path>\n", stderr);
    return 2;
  }
  ostrel::testing::write_bytes(argv[1], ostrel::testing::build_var_file(ostrel::testing::sample_spec()));
  return 0;
}
