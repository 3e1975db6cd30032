// Black-box tests of the header edits: task lines, warnings, exit status and the bytes written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

// Every field the tool writes is full, so that a short write or a missing zero shows.
VarSpec full_fields() {
  VarSpec var;
  var.signature = "**TI92P*";
  var.folder = "ABCDEFGH";
  var.comment = std::string(40, 'C');
  var.name = "NAMENAME";
  var.attribute = 3;
  var.body = string_body("payload");
  return var;
}

struct Patch {
  std::size_t offset;
  std::string bytes;
};

struct EditCase {
  std::string name;
  std::vector<std::string> args;  // "file.89p" is the input path
  std::vector<Patch> patches;
  std::string out;  // standard output after the banner (the whole of it when quiet)
  std::string err = {};
  bool quiet = false;
  int status = 0;
};

std::string zeros(std::size_t n) { return std::string(n, '\0'); }

Bytes patched(Bytes bytes, const std::vector<Patch>& patches) {
  for (const Patch& p : patches) {
    if (bytes.size() < p.offset + p.bytes.size()) bytes.resize(p.offset + p.bytes.size(), 0);
    std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + static_cast<long>(p.offset));
  }
  return bytes;
}

void run_case(const EditCase& c, const Bytes& original) {
  if (posix_only_row(c.args)) return;
  SCOPED_TRACE(c.name);
  ScratchDir dir;
  write_bytes(dir / "file.89p", original);
  const Outcome r = run_ostrel({c.args, dir.path()});
  EXPECT_EQ(r.out, c.quiet ? c.out : banner + c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(read_bytes(dir / "file.89p"), patched(original, c.patches));
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"file.89p"});
}

TEST(Edits, TaskLinesAndBytes) {
  const std::string w_folder = "\nWARNING: <foldername> exceeds 8 bytes. Truncated to fit!";
  const std::string w_name = "\nWARNING: <filename> exceeds 8 bytes. Truncated to fit!";
  const std::string w_comment = "\nWARNING: <comment> exceeds 40 bytes. Truncated to fit!";
  const std::string forty = "0123456789012345678901234567890123456789";
  const std::vector<EditCase> cases = {
      {"nothing to do", {"file.89p"}, {}, "\n", nothing_to_do},
      {"nothing to do, quiet", {"-q", "file.89p"}, {}, "", nothing_to_do, true},
      {"ram", {"-d", "r", "file.89p"}, {{73, zeros(1)}},
       "\nTask 01: Destination set to 'RAM'.\n"},
      {"locked", {"-d", "lock", "file.89p"}, {{73, "\x01"}},
       "\nTask 01: Destination set to 'RAM, locked'.\n"},
      {"archive", {"file.89p", "-d", "archive"}, {{73, "\x02"}},
       "\nTask 01: Destination set to 'Archive'.\n"},
      {"destination first whatever the order", {"-c", "hello", "-d", "r", "file.89p"},
       {{73, zeros(1)}, {18, "hello" + zeros(35)}},
       "\nTask 01: Destination set to 'RAM'.\nTask 02: File comment set.\n"},
      {"current folder", {"-fo", "-", "file.89p"}, {{10, zeros(1)}},
       "\nTask 01: Send file to current folder of receiving unit.\n"},
      {"folder", {"-fo", "main", "file.89p"}, {{10, "main" + zeros(4)}},
       "\nTask 01: On-calc folder set to 'main'.\n"},
      {"folder truncated", {"-fo", "abcdefghij", "file.89p"}, {{10, "abcdefgh"}},
       w_folder + "\nTask 01: On-calc folder set to 'abcdefgh'.\n"},
      {"empty folder", {"-fo", "", "file.89p"}, {{10, zeros(8)}},
       "\nTask 01: On-calc folder set to ''.\n"},
      {"folder named like an option", {"-fo", "-q", "file.89p"}, {{10, "-q" + zeros(6)}},
       "\nTask 01: On-calc folder set to '-q'.\n"},
      {"name of exactly 8 bytes", {"-fi", "abcdefgh", "file.89p"}, {{64, "abcdefgh"}},
       "\nTask 01: On-calc filename set to 'abcdefgh'.\n"},
      {"name truncated", {"-fi", "abcdefghi", "file.89p"}, {{64, "abcdefgh"}},
       w_name + "\nTask 01: On-calc filename set to 'abcdefgh'.\n"},
      {"empty name", {"-fi", "", "file.89p"}, {{64, zeros(8)}},
       "\nTask 01: On-calc filename set to ''.\n"},
      {"later name wins", {"-fi", "one", "-fi", "two", "file.89p"}, {{64, "two" + zeros(5)}},
       "\nTask 01: On-calc filename set to 'two'.\n"},
      {"raw bytes", {"-fi", "\xe9t\xc3\xa9\xff", "file.89p"}, {{64, "\xe9t\xc3\xa9\xff" + zeros(3)}},
       "\nTask 01: On-calc filename set to '\xe9t\xc3\xa9\xff'.\n"},
      {"comment of exactly 40 bytes", {"-c", forty, "file.89p"}, {{18, forty}},
       "\nTask 01: File comment set.\n"},
      {"comment truncated", {"-c", forty + "X", "file.89p"}, {{18, forty}},
       w_comment + "\nTask 01: File comment set.\n"},
      {"empty comment", {"-c", "", "file.89p"}, {{18, zeros(40)}}, "\nTask 01: File comment set.\n"},
      {"target 89", {"-ti", "89", "file.89p"}, {{0, "**TI89**"}},
       "\nTask 01: Target device set to '89'\n"},
      {"quiet keeps warnings only", {"-q", "-fi", "abcdefghij", "file.89p"}, {{64, "abcdefgh"}},
       w_name, "", true},
      {"all tasks in fixed order",
       {"-ti", "89", "-c", forty + "++", "-fi", "prog", "-fo", "abcdefghijk", "-d", "a", "file.89p"},
       {{73, "\x02"}, {10, "abcdefgh"}, {64, "prog" + zeros(4)}, {18, forty}, {0, "**TI89**"}},
       "\nTask 01: Destination set to 'Archive'." + w_folder +
           "\nTask 02: On-calc folder set to 'abcdefgh'."
           "\nTask 03: On-calc filename set to 'prog'." +
           w_comment + "\nTask 04: File comment set.\nTask 05: Target device set to '89'\n"},
      {"all tasks, quiet", {"-q", "-ti", "89", "-c", "", "-fi", "x", "-fo", "-", "-d", "a", "file.89p"},
       {{73, "\x02"}, {10, zeros(1)}, {64, "x" + zeros(7)}, {18, zeros(40)}, {0, "**TI89**"}},
       "", "", true},
  };
  const Bytes original = build_var_file(full_fields());
  for (const EditCase& c : cases) run_case(c, original);
}

// Where the variable's fields are, and what may be edited at all, as the file's head tells.
TEST(Edits, WhatTheFileHolds) {
  struct Form {
    std::string name;
    Bytes original;
    std::vector<EditCase> cases;
  };
  VarSpec bandn;  // saved, as link software saves one variable, behind a folder entry
  bandn.signature = "**TI92P*";
  bandn.folder = "cst";
  bandn.name = "bandn";
  bandn.type = 0x13;
  bandn.attribute = 3;
  VarSpec in_games = bandn;
  in_games.folder = "games";
  const std::string group =
      "\nERROR: Cannot set destination, folder or name in group file file.89p!\n";
  const std::string other =
      "\nERROR: Cannot edit inputfile file.89p, it is not a TI68k variable file!\n";
  const std::vector<Form> forms = {
      {"a variable behind its folder entry", build_group_file({bandn}), {
           {"folder: the header's and the folder entry's", {"-fo", "games", "file.89p"},
            {{10, "games" + zeros(3)}, {64, "games" + zeros(3)}},
            "\nTask 01: On-calc folder set to 'games'.\n"},
           {"current folder: the first byte of both", {"-q", "-fo", "-", "file.89p"},
            {{10, zeros(1)}, {64, zeros(1)}}, "", "", true},
           {"name", {"-q", "-fi", "prog", "file.89p"}, {{80, "prog" + zeros(4)}}, "", "", true},
           {"destination", {"-q", "-d", "r", "file.89p"}, {{89, zeros(1)}}, "", "", true},
           {"all at once",
            {"-ti", "89", "-c", "c", "-fi", "abcdefgh", "-fo", "f", "-d", "lock", "file.89p"},
            {{89, "\x01"}, {10, "f" + zeros(7)}, {64, "f" + zeros(7)}, {80, "abcdefgh"},
             {18, "c" + zeros(39)}, {0, "**TI89**"}},
            "\nTask 01: Destination set to 'RAM, locked'.\nTask 02: On-calc folder set to 'f'."
            "\nTask 03: On-calc filename set to 'abcdefgh'.\nTask 04: File comment set."
            "\nTask 05: Target device set to '89'\n"},
       }},
      {"a group", build_group_file({bandn, in_games}), {
           {"folder refused", {"-fo", "x", "file.89p"}, {}, "", group, false, 1},
           {"current folder refused", {"-fo", "-", "file.89p"}, {}, "", group, false, 1},
           {"name refused", {"-fi", "x", "file.89p"}, {}, "", group, false, 1},
           {"destination refused, nothing else written", {"-q", "-c", "x", "-d", "a", "file.89p"},
            {}, "", group, true, 1},
           {"comment", {"-q", "-c", "c", "file.89p"}, {{18, "c" + zeros(39)}}, "", "", true},
           {"target", {"-q", "-ti", "89", "file.89p"}, {{0, "**TI89**"}}, "", "", true},
       }},
      {"a Flash application", patched(Bytes(120, 0x01), {{0, "**TIFL**"}}), {
           {"target refused", {"-ti", "v2", "file.89p"}, {}, "", other, false, 1},
           {"comment refused", {"-q", "-c", "x", "file.89p"}, {}, "", other, true, 1},
           {"nothing asked, nothing refused", {"-q", "file.89p"}, {}, "", nothing_to_do, true},
       }},
      {"a TI-83 Plus variable", patched(Bytes(100, 0), {{0, "**TI83F*\x1a\x0a"}}), {
           {"destination refused", {"-d", "a", "file.89p"}, {}, "", other, false, 1},
           {"name refused", {"-q", "-n_extcheck", "-fi", "x", "file.89p"}, {},
            "\nWARNING: File extention is not checked!", other, true, 1},
       }},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    for (const EditCase& c : form.cases) run_case(c, form.original);
  }
}

// Files that are not variable files are written at the same offsets, growing when short.
TEST(Edits, AnyFileIsWrittenAtTheSameOffsets) {
  const std::vector<Bytes> originals = {
      {},
      Bytes(5, 0xEE),
      Bytes(73, 0x11),
      Bytes(200, 0x7F),
      Bytes(200, 0x00),
  };
  const std::vector<EditCase> cases = {
      {"destination", {"-d", "a", "file.89p"}, {{73, "\x02"}},
       "\nTask 01: Destination set to 'Archive'.\n"},
      {"current folder", {"-q", "-fo", "-", "file.89p"}, {{10, zeros(1)}}, "", "", true},
      {"name and signature", {"-q", "-fi", "n", "-ti", "89", "file.89p"},
       {{64, "n" + zeros(7)}, {0, "**TI89**"}}, "", "", true},
  };
  for (const Bytes& original : originals) {
    for (const EditCase& c : cases) run_case(c, original);
  }
}

TEST(Edits, EmptyFileArchivedBecomesSeventyFourBytes) {
  ScratchDir dir;
  write_bytes(dir / "file.89p", {});
  const Outcome r = run_ostrel({{"-q", "-d", "a", "file.89p"}, dir.path()});
  EXPECT_EQ(r.status, 0);
  Bytes expected(74, 0);
  expected[73] = 2;
  EXPECT_EQ(read_bytes(dir / "file.89p"), expected);
}

// Paths are bytes: names with spaces, odd bytes and leading dashes reach the file system as given.
TEST(Edits, PathsAreUsedAsGiven) {
  const std::vector<std::string> names = {"my game.89p", "-x.89p", "\xe9\xff.89p", "a%sb.89p"};
  for (const std::string& name : names) {
    if (posix_only_row({name})) continue;
    ScratchDir dir;
    write_bytes(dir / name, build_var_file({}));
    const Outcome r = run_ostrel({{"-d", "a", name}, dir.path()});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out, banner + "\nTask 01: Destination set to 'Archive'.\n") << name;
    EXPECT_EQ(read_bytes(dir / name)[73], 2) << name;
  }
}

// A symbolic link is followed to the file it leads to. A rename, though, would rename the link
// and leave the file a name its new signature contradicts: refused before anything is written.
TEST(Edits, SymbolicLinkToARegularFile) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
    int status;
    std::string attribute;  // of the linked file afterwards
    std::string posix_only = {};
  };
  const Case cases[] = {
      {{"-q", "-d", "a", "link.89p"}, "", 0, "\x02"},
      {{"-q", "-d", "a", "-ti", "v2", "link.89p"},
       "\nERROR: Cannot rename inputfile link.89p to link.v2p!\n", 1, zeros(1),
       "wine shows a symbolic link as the file it leads to"},
  };
  for (const Case& c : cases) {
    if (posix_only_row(c.args, c.posix_only)) continue;
    ScratchDir dir;
    write_bytes(dir / "real.89p", build_var_file({}));
    std::filesystem::create_symlink("real.89p", dir / "link.89p");
    const Outcome r = run_ostrel({c.args, dir.path()});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(read_bytes(dir / "real.89p"), patched(build_var_file({}), {{73, c.attribute}}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.89p"));
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"link.89p", "real.89p"}));
  }
}

}  // namespace
}  // namespace ostrel::testing
