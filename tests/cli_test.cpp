// Black-box tests of the command line: usage, banner and the command-line errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

TEST(Usage, NoArgumentsPrintsBannerAndUsage) {
  ScratchDir dir;
  const Outcome r = run_ostrel({{}, dir.path()});
  EXPECT_EQ(r.out, banner + expected_usage());
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);
}

TEST(Usage, BannerSecondLineNamesMakerAndDate) {
  const std::string second = banner.substr(banner.find('\n') + 1);
  EXPECT_NE(second.find("ostrel authors"), std::string::npos);
  EXPECT_NE(second.find("2026-12-08"), std::string::npos);
}

// One word alone asks for the usage text or the version; anywhere else such a word is read as
// it always was (here, the input path). /? is that word on Windows only.
TEST(Usage, HelpAndVersionWords) {
  const std::string wrong_extension = "\nERROR: Wrong file extention!\n";
  struct Case {
    std::vector<std::string> args;
    std::string out, err;
    int status;
  };
  const Case cases[] = {
      {{"--help"}, banner + expected_usage(), "", 0},
      {{"-h"}, banner + expected_usage(), "", 0},
      {{"--version"}, "ostrel " OSTREL_VERSION "\n", "", 0},
      testing_windows() ? Case{{"/?"}, banner + expected_usage(), "", 0}
                        : Case{{"/?"}, banner, wrong_extension, 1},
      {{"-q", "--version"}, "", wrong_extension, 1},
      {{"--help", "f.89p"}, banner, "\nERROR: Invalid command line argument: 'f.89p'\n", 1},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const Outcome r = run_ostrel({c.args, dir.path()});
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
    EXPECT_EQ(r.status, c.status) << c.args[0];
  }
}

// A request without an input path: usage, then the missing-infile error; nothing is touched.
TEST(Usage, MissingInputPath) {
  const std::vector<std::vector<std::string>> cases = {
      {"-fo", "file.89p"}, {"-q"}, {"-n_extcheck", "-d", "a"}, {"-q", "-c", "x"}};
  for (const auto& args : cases) {
    ScratchDir dir;
    const Bytes original = build_var_file({});
    write_bytes(dir / "file.89p", original);
    const Outcome r = run_ostrel({args, dir.path()});
    EXPECT_EQ(r.out, banner + expected_usage()) << args[0];
    EXPECT_EQ(r.err, "\nERROR: Invalid command line arguments, missing <infile>!\n") << args[0];
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_bytes(dir / "file.89p"), original);
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"file.89p"});
  }
}

struct ErrorCase {
  std::vector<std::string> args;
  std::string message;
};

// Every command-line error: banner on standard output (even after -q), the message on standard
// error, status 1, and the file untouched.
TEST(CommandLineErrors, BannerMessageAndStatus) {
  const std::string missing = "\nERROR: Invalid command line arguments, missing ";
  const std::string invalid = "\nERROR: Invalid command line arguments, invalid ";
  const std::vector<ErrorCase> cases = {
      {{"f.89p", "-d"}, missing + "<dest> for '-d <dest>'!\n"},
      {{"-d", "R", "f.89p"}, invalid + "<dest> for '-d <dest>'!\n"},
      {{"-d", "x", "f.89p"}, invalid + "<dest> for '-d <dest>'!\n"},
      {{"-d", "", "f.89p"}, invalid + "<dest> for '-d <dest>'!\n"},
      {{"-q", "-d", "z", "f.89p"}, invalid + "<dest> for '-d <dest>'!\n"},
      {{"f.89p", "-fo"}, missing + "<name> for '-fo <name>'!\n"},
      {{"f.89p", "-fi"}, missing + "<name> for '-fi <name>'!\n"},
      {{"f.89p", "-c"}, missing + "<str> for '-c <str>'!\n"},
      {{"-q", "f.89p", "-ti"}, missing + "<calc> for '-ti <calc>'!\n"},
      {{"-ti", "89p", "f.89p"}, invalid + "<calc> for '-ti <calc>'!\n"},
      {{"-ti", "92", "f.89p"}, invalid + "<calc> for '-ti <calc>'!\n"},
      {{"-ti", "V2", "f.89p"}, invalid + "<calc> for '-ti <calc>'!\n"},
      {{"f.89p", "b.89p"}, "\nERROR: Invalid command line argument: 'b.89p'\n"},
      {{"-x", "f.89p"}, "\nERROR: Invalid command line argument: 'f.89p'\n"},
      {{"", "f.89p"}, "\nERROR: Invalid command line argument: 'f.89p'\n"},
      {{"f.89p", "%s %02i\xff"}, "\nERROR: Invalid command line argument: '%s %02i\xff'\n"},
  };
  for (const ErrorCase& c : cases) {
    if (posix_only_row(c.args)) continue;
    ScratchDir dir;
    const Bytes original = build_var_file({});
    write_bytes(dir / "f.89p", original);
    const Outcome r = run_ostrel({c.args, dir.path()});
    SCOPED_TRACE(c.message);
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_bytes(dir / "f.89p"), original);
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"f.89p"});
  }
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
      run_ostrel({.args = {"*.89p"}, .cwd = dir.path(), .binary = ostrel_show_binary()});
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 4) << shown.out;  // and a header
  EXPECT_EQ(shown.status, 0);
  const Outcome one = run_ostrel({{"-q", "-d", "a", "*.9xs"}, dir.path()});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(read_bytes(dir / "one.9xs")[73], 2);
  const Outcome several = run_ostrel({{"-q", "-d", "a", "*.89p"}, dir.path()});
  EXPECT_EQ(several.err, "\nERROR: Invalid command line argument: 'b.89p'\n");
  EXPECT_EQ(several.status, 1);
}

}  // namespace
}  // namespace ostrel::testing
