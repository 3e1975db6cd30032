// ostrel-show, run as a user runs it: exact output, messages and status for good files, damaged
// ones and bad command lines. A damaged file is reported and never read past its end (the
// sanitizer build and the fuzz target cover the reading itself).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

const std::string header =
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  FILE"
    "  COMMENT\n";
const std::string sample_line =
    "TI-89       main\\hello         0x0c string            RAM                22  ok        "
    "hello.89s  \"ostrel sample: a string variable\"\n";

Bytes sample() { return build_var_file(sample_spec()); }

// `bytes` with `patch` written at `at`.
Bytes patched(Bytes bytes, std::size_t at, const Bytes& patch) {
  std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

Bytes cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

VarSpec variable(std::string folder, std::string name, std::uint8_t type, std::uint8_t attribute,
                 Bytes body, std::string comment = "") {
  VarSpec var;
  var.folder = std::move(folder);
  var.name = std::move(name);
  var.type = type;
  var.attribute = attribute;
  var.body = std::move(body);
  var.comment = std::move(comment);
  return var;
}

// Three variables in two folders; one of a type and one of an attribute that have no name.
Bytes group() {
  return build_group_file({variable("main", "a", 0x0C, 0, string_body("x"), "a group"),
                           variable("games", "tetris", 0x21, 2, {0x4E, 0x75}),
                           variable("games", "odd", 0x1C, 5, {})});
}

// Text fields holding quotes, backslashes, a control byte and bytes above 0x7F.
Bytes odd_bytes() {
  return build_var_file(variable("f\\o", "n\xFF", 0x12, 1, {}, "say \"hi\" \\ \x01\xE9"));
}

struct Case {
  std::string title;
  std::vector<std::pair<std::string, Bytes>> files;  // a name ending in "/" is a folder
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int status;
  Stream output = Stream::captured;  // how standard output is set up
};

const std::string try_help = "Try 'ostrel-show --help' for more information.\n";
const std::string not_variable_file = "not a TI-68k variable file";
const std::string truncated = "truncated: the file ends before its header says";
const std::string misplaced = "damaged: a variable's offset is out of place";

// A file that is refused: nothing listed, the reason on standard error, status 1.
Case refused(std::string title, Bytes bytes, const std::string& reason) {
  return {std::move(title), {{"f.89p", std::move(bytes)}}, {"f.89p"}, "",
          "ostrel-show: f.89p: " + reason + "\n", 1};
}

const std::vector<Case> cases = {
    {"the sample", {{"hello.89s", sample()}}, {"hello.89s"}, header + sample_line, "", 0},
    {"a group: folders, a type and an attribute without a name",
     {{"g.89g", group()}},
     {"g.89g"},
     header +
         "TI-89       main\\a             0x0c string            RAM                 6  ok        "
         "g.89g  \"a group\"\n"
         "TI-89       games\\tetris       0x21 assembly program  Archive             4  ok        "
         "g.89g  \"a group\"\n"
         "TI-89       games\\odd          0x1c other             attr 0x05           2  ok        "
         "g.89g  \"a group\"\n",
     "", 0},
    {"bytes that are not printable ASCII",
     {{"odd.89p", odd_bytes()}},
     {"odd.89p"},
     header +
         "TI-89       f\\x5co\\n\\xff       0x12 program           RAM, locked         2  ok  "
         "      odd.89p  \"say \\x22hi\\x22 \\x5c \\x01\\xe9\"\n",
     "", 0},
    {"the same bytes as JSON code points",
     {{"odd.89p", odd_bytes()}},
     {"--json", "odd.89p"},
     "[\n{\"path\":\"odd.89p\",\"signature\":\"**TI89**\",\"folder\":\"f\\\\o\","
     "\"comment\":\"say \\\"hi\\\" \\\\ \\u0001\xC3\xA9\",\"variables\":[{\"folder\":\"f\\\\o\","
     "\"name\":\"n\xC3\xBF\",\"type\":18,\"type_name\":\"program\",\"attribute\":1,"
     "\"destination\":\"RAM, locked\",\"size\":2,\"checksum_ok\":true}]}\n]\n",
     "", 0},
    {"a wrong checksum: listed, and reported",
     {{"bad.89s", patched(sample(), 108, {0x00})}},
     {"bad.89s"},
     header +
         "TI-89       main\\hello         0x0c string            RAM                22  wrong     "
         "bad.89s  \"ostrel sample: a string variable\"\n",
     "ostrel-show: bad.89s: main\\hello: wrong checksum (stored 0x0600, computed 0x06c2)\n", 1},
    {"a missing file, a folder and a good file, in order",
     {{"hello.89s", sample()}, {"dir.89p/", {}}},
     {"gone.89p", "hello.89s", "dir.89p"},
     header + sample_line,
     "ostrel-show: gone.89p: no such file\nostrel-show: dir.89p: is a directory\n", 1},
    refused("an empty file", {}, not_variable_file),
    refused("not a variable file", Bytes(100, 'x'), not_variable_file),
    refused("cut inside the header", cut(sample(), 70), truncated),
    refused("cut inside the data", cut(sample(), 100), truncated),
    refused("65535 entries", patched(sample(), 58, {0xFF, 0xFF}), truncated),
    refused("a data offset past the end", patched(sample(), 60, {0xF0, 0xFF, 0xFF, 0xFF}),
            misplaced),
    refused("a data offset inside the header", patched(sample(), 60, {10, 0, 0, 0}), misplaced),
    refused("a group whose offsets go backwards", patched(group(), 60 + 16 * 3, {0x80, 0, 0, 0}),
            misplaced),
    refused("a group whose middle offset lies past the end",
            patched(group(), 60 + 16 * 3, {0xF0, 0xFF, 0xFF, 0x7F}), misplaced),
    refused("a table of folders only", patched(sample(), 72, {0x1F}), "the file lists no variable"),
    {"a UTF-8 path: as it is in JSON, escaped in a message",
     {{"\xC3\xA9.89s", sample()}},
     {"--json", "\xC3\xA9.89s", "\xC3\xBC.89p"},
     "[\n{\"path\":\"\xC3\xA9.89s\",\"signature\":\"**TI89**\",\"folder\":\"main\","
     "\"comment\":\"ostrel sample: a string variable\",\"variables\":[{\"folder\":\"main\","
     "\"name\":\"hello\",\"type\":12,\"type_name\":\"string\",\"attribute\":0,"
     "\"destination\":\"RAM\",\"size\":22,\"checksum_ok\":true}]}\n]\n",
     "ostrel-show: \\xc3\\xbc.89p: no such file\n", 1},
    {"standard output closed: a listing that cannot be written is a failure",
     {{"hello.89s", sample()}}, {"hello.89s"}, "",
     "ostrel-show: cannot write to standard output\n", 1, Stream::closed},
    {"JSON with no file read", {}, {"--json", "gone.89p"}, "[]\n",
     "ostrel-show: gone.89p: no such file\n", 1},
    {"-- ends the options", {}, {"--", "--json"}, "", "ostrel-show: --json: no such file\n", 1},
    {"--version", {}, {"hello.89s", "--version"}, "ostrel-show 1.0.1\n", "", 0},
    {"no file", {}, {"--json"}, "", "ostrel-show: no file given\n" + try_help, 2},
    {"an unknown option", {}, {"--jsn", "hello.89s"}, "",
     "ostrel-show: unknown option '--jsn'\n" + try_help, 2},
};

TEST(Show, ListsAndReports) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ScratchDir dir;
    for (const auto& [name, bytes] : c.files) {
      if (name.ends_with('/')) {
        std::filesystem::create_directory(dir / name);
      } else {
        write_bytes(dir / name, bytes);
      }
    }
    const Outcome run = run_ostrel(
        {.args = c.args, .cwd = dir.path(), .out = c.output, .binary = ostrel_show_binary()});
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, c.status);
  }
}

TEST(Show, HelpGoesToStandardOutput) {
  ScratchDir dir;
  const Outcome run =
      run_ostrel({.args = {"--help", "--jsn"}, .cwd = dir.path(), .binary = ostrel_show_binary()});
  EXPECT_TRUE(run.out.starts_with("Usage: ostrel-show [--json] [--] FILE...\n")) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace ostrel::testing
