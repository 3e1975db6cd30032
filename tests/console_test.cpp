#include "console/console.h"

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

namespace ostrel {
namespace {

// Reads everything written to the pipe once every writer is closed.
std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  return text;
}

// Both streams on one pipe: the text arrives in the order it was given, whatever its size.
TEST(Console, KeepsOrderAcrossStreamsAndSizes) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string big(10000, 'b');
  const std::string near_full(4090, 'n');
  {
    Console console(fds[1], fds[1]);
    console.out("a");
    console.err("[E1]");
    console.out(near_full);
    console.out("12345678");  // does not fit behind near_full
    console.out(big);         // larger than the whole buffer
    console.out("\nTask %02i: set to '%s'.", {"07", "x%sy"});
    console.err("[E2]");
    console.out("z");
  }  // the destructor writes what is left
  ::close(fds[1]);
  EXPECT_EQ(drain(fds[0]),
            "a[E1]" + near_full + "12345678" + big + "\nTask 07: set to 'x%sy'.[E2]z");
  ::close(fds[0]);
}

}  // namespace
}  // namespace ostrel
