// Black-box tests of the command line: usage, banner, version and the command-line errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/rows.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

TEST(Usage, BannerSecondLineNamesMakerAndDate) {
  ScratchDir dir;
  const Outcome r = run_program({{}, dir.path()});
  const std::size_t start = r.out.find('\n') + 1;
  const std::string second = r.out.substr(start, r.out.find('\n', start) - start);
  EXPECT_NE(second.find("ostrel authors"), std::string::npos) << r.out;
  EXPECT_NE(second.find("2026-12-08"), std::string::npos) << r.out;
}

// The usage text: for no arguments, for a command line without an input path, and asked for by
// one word alone (also the version). Anywhere else such a word is read as it always was (here,
// the input path); /? is that word on Windows only.
TEST(Usage, WhenItIsWritten) {
  const Files file = {{"f.89p", build_var_file({})}};
  const std::string usage = banner + expected_usage();
  const std::vector<Row> rows = {
      {"no arguments", {}, file, usage, "", 1, file},
      {"the path consumed as a value", {"-fo", "f.89p"}, file, usage, missing_infile, 1, file},
      {"-q alone", {"-q"}, file, usage, missing_infile, 1, file},
      {"no path after -d", {"-n_extcheck", "-d", "a"}, file, usage, missing_infile, 1, file},
      {"no path after -c", {"-q", "-c", "x"}, file, usage, missing_infile, 1, file},
      {"--help", {"--help"}, {}, usage, "", 0, {}},
      {"-h", {"-h"}, {}, usage, "", 0, {}},
      {"--version", {"--version"}, {}, "ostrel " OSTREL_VERSION "\n", "", 0, {}},
      testing_windows() ? Row{"/?, on Windows", {"/?"}, {}, usage, "", 0, {}}
                        : Row{"/?, a path", {"/?"}, {}, banner, wrong_extension, 1, {}},
      {"--version, not alone", {"-q", "--version"}, {}, "", wrong_extension, 1, {}},
      {"--help, not alone", {"--help", "f.89p"}, file, banner, extra_argument("f.89p"), 1, file},
  };
  for (const Row& row : rows) check(row);
}

// Every command-line error: banner on standard output (even after -q), the message on standard
// error, status 1, and the file untouched.
TEST(CommandLineErrors, BannerMessageAndStatus) {
  const Files file = {{"f.89p", build_var_file({})}};
  const auto error = [&](std::vector<std::string> args, std::string message) {
    return Row{message, std::move(args), file, banner, message, 1, file};
  };
  const std::string dest = "<dest> for '-d <dest>'";
  const std::string calc = "<calc> for '-ti <calc>'";
  const std::vector<Row> rows = {
      error({"f.89p", "-d"}, missing(dest)),
      error({"-d", "R", "f.89p"}, invalid(dest)),
      error({"-d", "x", "f.89p"}, invalid(dest)),
      error({"-d", "", "f.89p"}, invalid(dest)),
      error({"-q", "-d", "z", "f.89p"}, invalid(dest)),
      error({"f.89p", "-fo"}, missing("<name> for '-fo <name>'")),
      error({"f.89p", "-fi"}, missing("<name> for '-fi <name>'")),
      error({"f.89p", "-c"}, missing("<str> for '-c <str>'")),
      error({"-q", "f.89p", "-ti"}, missing(calc)),
      error({"-ti", "89p", "f.89p"}, invalid(calc)),
      error({"-ti", "92", "f.89p"}, invalid(calc)),
      error({"-ti", "V2", "f.89p"}, invalid(calc)),
      error({"f.89p", "b.89p"}, extra_argument("b.89p")),
      error({"-x", "f.89p"}, extra_argument("f.89p")),
      error({"", "f.89p"}, extra_argument("f.89p")),
      error({"f.89p", "%s %02i\xff"}, extra_argument("%s %02i\xff")),
  };
  for (const Row& row : rows) check(row);
}

// cmd leaves wildcards to the program, so both programs expand them as a POSIX shell would:
// ostrel-show lists every match, ostrel edits its one match, and several are the extra-argument
// error a shell would also cause.
TEST(Wildcards, ExpandedOnWindows) {
  if (!testing_windows()) GTEST_SKIP() << "Windows only: a POSIX shell expands wildcards itself";
  ScratchDir dir;
  for (const char* name : {"a.89p", "b.89p", "c.89p", "one.9xs"}) {
    write_bytes(dir / name, build_var_file({}));
  }
  const Outcome shown =
      run_program({.args = {"*.89p"}, .cwd = dir.path(), .binary = ostrel_show_binary()});
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 4) << shown.out;  // and a header
  EXPECT_EQ(shown.status, 0);
  const Outcome one = run_program({{"-q", "-d", "a", "*.9xs"}, dir.path()});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(read_bytes(dir / "one.9xs")[73], 2);
  const Outcome several = run_program({{"-q", "-d", "a", "*.89p"}, dir.path()});
  EXPECT_EQ(several.err, extra_argument("b.89p"));
  EXPECT_EQ(several.status, 1);
}

}  // namespace
}  // namespace ostrel::testing
