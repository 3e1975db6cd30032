#include "console/console.h"
#include "show/mend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
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

// What a reader cannot see is exactly what Unicode's own files mark so (Debian's unicode-data):
// the controls, Default_Ignorable_Code_Point, and the categories Cf, Zl, Zp and Zs but the space
// itself, over every code point. On a difference, the ranges the files give are printed, to be
// copied into display.cpp.
TEST(Display, UnseenAsUnicodeDefinesIt) {
  const std::string unicode = "/usr/share/unicode/";
  if (!std::filesystem::exists(unicode + "UnicodeData.txt")) GTEST_SKIP() << "no unicode-data";
  std::set<char32_t> unseen;
  std::ifstream derived(unicode + "DerivedCoreProperties.txt"), data(unicode + "UnicodeData.txt");
  for (std::string line; std::getline(derived, line);) {
    if (line.find("; Default_Ignorable_Code_Point") == std::string::npos) continue;
    const std::size_t dots = line.find("..");
    const char32_t first = std::stoul(line, nullptr, 16);
    const char32_t last =
        dots < line.find(';') ? std::stoul(line.substr(dots + 2), nullptr, 16) : first;
    for (char32_t c = first; c <= last; ++c) unseen.insert(c);
  }
  for (std::string line; std::getline(data, line);) {  // the category is the third field
    for (const char* category : {";Cc;", ";Cf;", ";Zl;", ";Zp;", ";Zs;"}) {
      if (line.find(category) != std::string::npos) unseen.insert(std::stoul(line, nullptr, 16));
    }
  }
  unseen.erase(U' ');
  ASSERT_GT(unseen.size(), 4000u);
  std::string differs, ranges;
  char hex[16];
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(c));
    if (is_unseen(c) != unseen.contains(c)) differs.append(" ").append(hex);
    if (unseen.contains(c) && !unseen.contains(c - 1)) ranges.append("{").append(hex);
    if (unseen.contains(c) && !unseen.contains(c + 1)) ranges.append(", ").append(hex) += "}, ";
  }
  EXPECT_EQ(differs, "") << "the ranges: " << ranges;
}

// A mend's words for each shell, whatever system this is: POSIX sh in a UTF-8 locale and in an
// ASCII one, and cmd. (The shells themselves run them in show_test.cpp.)
TEST(Mend, WordsForEachShell) {
  struct Row {
    std::string word, sh, sh_ascii, cmd;
  };
  const Row rows[] = {
      {"g.89s", "g.89s", "g.89s", "g.89s"},
      {"it's.89s", "'it'\\''s.89s'", "'it'\\''s.89s'", "\"it's.89s\""},
      {"50% off.89s", "'50% off.89s'", "'50% off.89s'", "\"50% off.89s\""},
      {"x\xC3\x9B" "2J.v2s", "'x\xC3\x9B" "2J.v2s'", "'x'\"$(printf '\\303\\233')\"'2J.v2s'",
       "\"x\xC3\x9B" "2J.v2s\""},
      {"a\nb.89s", "'a'\"$(printf '\\012\\142')\"'.89s'", "'a'\"$(printf '\\012\\142')\"'.89s'",
       "\"a\nb.89s\""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(command_line({row.word}, Shell::sh, Charset::utf8), row.sh);
    EXPECT_EQ(command_line({row.word}, Shell::sh, Charset::ascii), row.sh_ascii);
    EXPECT_EQ(command_line({row.word}, Shell::cmd, Charset::utf8), row.cmd);
  }
}

}  // namespace
}  // namespace ostrel
