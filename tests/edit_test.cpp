// Black-box tests of the header edits: task lines, warnings, exit status and the bytes written.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/process.h"
#include "tests/support/rows.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

// A row run on file.89p holding `original`, which the run must leave patched by `patches`.
Row edit(const Bytes& original, std::string title, std::vector<std::string> args,
         const std::vector<Patch>& patches, std::string out, std::string err = "",
         int status = 0) {
  return {std::move(title),        std::move(args), {{"file.89p", original}},
          std::move(out),          std::move(err),  status,
          {{"file.89p", patched(original, patches)}}};
}

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

TEST(Edits, TaskLinesAndBytes) {
  const std::string forty = "0123456789012345678901234567890123456789";
  const Bytes original = build_var_file(full_fields());
  const std::vector<Row> rows = {
      edit(original, "nothing to do", {"file.89p"}, {}, banner + "\n", nothing_to_do),
      edit(original, "nothing to do, quiet", {"-q", "file.89p"}, {}, "", nothing_to_do),
      edit(original, "ram", {"-d", "r", "file.89p"}, {{73, zeros(1)}},
           banner + "\nTask 01: Destination set to 'RAM'.\n"),
      edit(original, "locked", {"-d", "lock", "file.89p"}, {{73, "\x01"}},
           banner + "\nTask 01: Destination set to 'RAM, locked'.\n"),
      edit(original, "archive", {"file.89p", "-d", "archive"}, {{73, "\x02"}},
           banner + "\nTask 01: Destination set to 'Archive'.\n"),
      edit(original, "destination first whatever the order", {"-c", "hello", "-d", "r", "file.89p"},
           {{73, zeros(1)}, {18, "hello" + zeros(35)}},
           banner + "\nTask 01: Destination set to 'RAM'.\nTask 02: File comment set.\n"),
      edit(original, "current folder", {"-fo", "-", "file.89p"}, {{10, zeros(1)}},
           banner + "\nTask 01: Send file to current folder of receiving unit.\n"),
      edit(original, "folder", {"-fo", "main", "file.89p"}, {{10, "main" + zeros(4)}},
           banner + "\nTask 01: On-calc folder set to 'main'.\n"),
      edit(original, "folder truncated", {"-fo", "abcdefghij", "file.89p"}, {{10, "abcdefgh"}},
           banner + folder_truncated + "\nTask 01: On-calc folder set to 'abcdefgh'.\n"),
      edit(original, "empty folder", {"-fo", "", "file.89p"}, {{10, zeros(8)}},
           banner + "\nTask 01: On-calc folder set to ''.\n"),
      edit(original, "folder named like an option", {"-fo", "-q", "file.89p"},
           {{10, "-q" + zeros(6)}}, banner + "\nTask 01: On-calc folder set to '-q'.\n"),
      edit(original, "name of exactly 8 bytes", {"-fi", "abcdefgh", "file.89p"}, {{64, "abcdefgh"}},
           banner + "\nTask 01: On-calc filename set to 'abcdefgh'.\n"),
      edit(original, "name truncated", {"-fi", "abcdefghi", "file.89p"}, {{64, "abcdefgh"}},
           banner + name_truncated + "\nTask 01: On-calc filename set to 'abcdefgh'.\n"),
      edit(original, "empty name", {"-fi", "", "file.89p"}, {{64, zeros(8)}},
           banner + "\nTask 01: On-calc filename set to ''.\n"),
      edit(original, "later name wins", {"-fi", "one", "-fi", "two", "file.89p"},
           {{64, "two" + zeros(5)}}, banner + "\nTask 01: On-calc filename set to 'two'.\n"),
      edit(original, "raw bytes", {"-fi", "\xe9t\xc3\xa9\xff", "file.89p"},
           {{64, "\xe9t\xc3\xa9\xff" + zeros(3)}},
           banner + "\nTask 01: On-calc filename set to '\xe9t\xc3\xa9\xff'.\n"),
      edit(original, "typed text in the calculator's characters, from any command line",
           {"-fo", "jeux", "-fi", "p\xCF\x86", "-c", "caf\xC3\xA9", "file.89p"},
           {{10, "jeux" + zeros(4)}, {64, "p\x91" + zeros(6)}, {18, "caf\xE9" + zeros(36)}},
           banner + "\nTask 01: On-calc folder set to 'jeux'.\nTask 02: On-calc filename set to "
                    "'p\xCF\x86'.\nTask 03: File comment set.\n"),
      edit(original, "a character the calculator lacks: as given, cut at a character",
           {"-fi", "abcdefg\xE4\xB8\xAD", "file.89p"}, {{64, "abcdefg" + zeros(1)}},
           banner + lacking("<filename>") + name_truncated +
               "\nTask 01: On-calc filename set to 'abcdefg'.\n"),
      edit(original, "comment of exactly 40 bytes", {"-c", forty, "file.89p"}, {{18, forty}},
           banner + "\nTask 01: File comment set.\n"),
      edit(original, "comment truncated", {"-c", forty + "X", "file.89p"}, {{18, forty}},
           banner + comment_truncated + "\nTask 01: File comment set.\n"),
      edit(original, "empty comment", {"-c", "", "file.89p"}, {{18, zeros(40)}},
           banner + "\nTask 01: File comment set.\n"),
      edit(original, "target 89", {"-ti", "89", "file.89p"}, {{0, "**TI89**"}},
           banner + "\nTask 01: Target device set to '89'\n"),
      edit(original, "quiet keeps warnings only", {"-q", "-fi", "abcdefghij", "file.89p"},
           {{64, "abcdefgh"}}, name_truncated),
      edit(original, "all tasks in fixed order",
           {"-ti", "89", "-c", forty + "++", "-fi", "prog", "-fo", "abcdefghijk", "-d", "a",
            "file.89p"},
           {{73, "\x02"}, {10, "abcdefgh"}, {64, "prog" + zeros(4)}, {18, forty}, {0, "**TI89**"}},
           banner + "\nTask 01: Destination set to 'Archive'." + folder_truncated +
               "\nTask 02: On-calc folder set to 'abcdefgh'."
               "\nTask 03: On-calc filename set to 'prog'." +
               comment_truncated +
               "\nTask 04: File comment set.\nTask 05: Target device set to '89'\n"),
      edit(original, "all tasks, quiet",
           {"-q", "-ti", "89", "-c", "", "-fi", "x", "-fo", "-", "-d", "a", "file.89p"},
           {{73, "\x02"}, {10, zeros(1)}, {64, "x" + zeros(7)}, {18, zeros(40)}, {0, "**TI89**"}},
           ""),
  };
  for (const Row& row : rows) check(row);
}

// Where the variable's fields are, and what may be edited at all, as the file's head tells.
TEST(Edits, WhatTheFileHolds) {
  VarSpec bandn;  // saved, as link software saves one variable, behind a folder entry
  bandn.signature = "**TI92P*";
  bandn.folder = "cst";
  bandn.name = "bandn";
  bandn.type = 0x13;
  bandn.attribute = 3;
  VarSpec in_games = bandn;
  in_games.folder = "games";
  const Bytes behind = build_group_file({bandn});
  const Bytes group = build_group_file({bandn, in_games});
  const Bytes flash = patched(Bytes(120, 0x01), {{0, "**TIFL**"}});
  const Bytes ti83_plus = patched(Bytes(100, 0), {{0, "**TI83F*\x1a\x0a"}});
  const std::string refused_group = group_file("file.89p");
  const std::string refused_other = other_kind("file.89p");
  const std::vector<Row> rows = {
      edit(behind, "behind a folder entry: the header's folder and the folder entry's",
           {"-fo", "games", "file.89p"}, {{10, "games" + zeros(3)}, {64, "games" + zeros(3)}},
           banner + "\nTask 01: On-calc folder set to 'games'.\n"),
      edit(behind, "behind a folder entry: the current folder, the first byte of both",
           {"-q", "-fo", "-", "file.89p"}, {{10, zeros(1)}, {64, zeros(1)}}, ""),
      edit(behind, "behind a folder entry: the name", {"-q", "-fi", "prog", "file.89p"},
           {{80, "prog" + zeros(4)}}, ""),
      edit(behind, "behind a folder entry: the destination", {"-q", "-d", "r", "file.89p"},
           {{89, zeros(1)}}, ""),
      edit(behind, "behind a folder entry: all at once",
           {"-ti", "89", "-c", "c", "-fi", "abcdefgh", "-fo", "f", "-d", "lock", "file.89p"},
           {{89, "\x01"}, {10, "f" + zeros(7)}, {64, "f" + zeros(7)}, {80, "abcdefgh"},
            {18, "c" + zeros(39)}, {0, "**TI89**"}},
           banner +
               "\nTask 01: Destination set to 'RAM, locked'.\nTask 02: On-calc folder set to 'f'."
               "\nTask 03: On-calc filename set to 'abcdefgh'.\nTask 04: File comment set."
               "\nTask 05: Target device set to '89'\n"),
      edit(group, "a group: folder refused", {"-fo", "x", "file.89p"}, {}, banner, refused_group,
           1),
      edit(group, "a group: current folder refused", {"-fo", "-", "file.89p"}, {}, banner,
           refused_group, 1),
      edit(group, "a group: name refused", {"-fi", "x", "file.89p"}, {}, banner, refused_group, 1),
      edit(group, "a group: destination refused, nothing else written",
           {"-q", "-c", "x", "-d", "a", "file.89p"}, {}, "", refused_group, 1),
      edit(group, "a group: comment", {"-q", "-c", "c", "file.89p"}, {{18, "c" + zeros(39)}}, ""),
      edit(group, "a group: target", {"-q", "-ti", "89", "file.89p"}, {{0, "**TI89**"}}, ""),
      edit(flash, "Flash: target refused", {"-ti", "v2", "file.89p"}, {}, banner, refused_other, 1),
      edit(flash, "Flash: comment refused", {"-q", "-c", "x", "file.89p"}, {}, "", refused_other,
           1),
      edit(flash, "Flash: nothing asked, nothing refused", {"-q", "file.89p"}, {}, "",
           nothing_to_do),
      edit(patched(flash, {{0, "**tifl**"}}), "Flash, in lower case: refused",
           {"-q", "-d", "a", "file.89p"}, {}, "", refused_other, 1),
      edit(ti83_plus, "TI-83 Plus: destination refused", {"-d", "a", "file.89p"}, {}, banner,
           refused_other, 1),
      edit(ti83_plus, "TI-83 Plus: name refused", {"-q", "-n_extcheck", "-fi", "x", "file.89p"}, {},
           not_checked, refused_other, 1),
  };
  for (const Row& row : rows) check(row);
}

// Files that are not variable files are written at the same offsets, growing when short.
TEST(Edits, AnyFileIsWrittenAtTheSameOffsets) {
  std::vector<Row> rows;
  for (const Bytes& original :
       {Bytes{}, Bytes(5, 0xEE), Bytes(73, 0x11), Bytes(200, 0x7F), Bytes(200, 0x00)}) {
    rows.push_back(edit(original, "destination", {"-d", "a", "file.89p"}, {{73, "\x02"}},
                        banner + "\nTask 01: Destination set to 'Archive'.\n"));
    rows.push_back(edit(original, "current folder", {"-q", "-fo", "-", "file.89p"},
                        {{10, zeros(1)}}, ""));
    rows.push_back(edit(original, "name and signature", {"-q", "-fi", "n", "-ti", "89", "file.89p"},
                        {{64, std::string("n").append(7, '\0')}, {0, "**TI89**"}}, ""));
  }
  // An empty file archived becomes 74 bytes long, byte 73 being 2.
  rows.push_back(edit({}, "empty, archived", {"-q", "-d", "a", "file.89p"}, {{73, "\x02"}}, ""));
  for (const Row& row : rows) check(row);
}

// Paths are bytes: names with spaces, odd bytes and leading dashes reach the file system as
// given. A symbolic link is followed to the file it leads to; a rename, though, would rename the
// link and leave the file a name its new signature contradicts: refused before anything is
// written (under wine, which shows a link as the file it leads to, that row is skipped), as is a
// file with another hard link.
TEST(Edits, PathsAreUsedAsGiven) {
  const Bytes original = build_var_file({});
  const Bytes archived = patched(original, {{73, "\x02"}});
  std::vector<Row> rows;
  for (const std::string name : {"my game.89p", "-x.89p", "\xe9\xff.89p", "a%sb.89p"}) {
    rows.push_back({name, {"-d", "a", name}, {{name, original}},
                    banner + "\nTask 01: Destination set to 'Archive'.\n", "", 0,
                    {{name, archived}}});
  }
  const Files linked = {{"real.89p", original}, {"link.89p", link_to("real.89p")}};
  rows.push_back({"a link followed", {"-q", "-d", "a", "link.89p"}, linked, "", "", 0,
                  {{"real.89p", archived}, {"link.89p", link_to("real.89p")}}});
  Row not_renamed = {"a link not renamed", {"-q", "-d", "a", "-ti", "v2", "link.89p"}, linked, "",
                     cannot_rename("link.89p", "link.v2p"), 1, linked};
  not_renamed.posix_only = "wine shows a symbolic link as the file it leads to";
  rows.push_back(not_renamed);
  // A second hard link would keep a name the new signature contradicts: refused as a link is.
  const Files twins = {{"game.89p", original}, {"twin.89p", hard_link_to("game.89p")}};
  rows.push_back({"a hard link not renamed", {"-q", "-ti", "v2", "game.89p"}, twins, "",
                  cannot_rename("game.89p", "game.v2p"), 1,
                  {{"game.89p", original}, {"twin.89p", original}}});
  rows.push_back({"a hard link edited", {"-q", "-d", "a", "game.89p"}, twins, "", "", 0,
                  {{"game.89p", archived}, {"twin.89p", archived}}});
  // Another name may be for another device: a new signature is refused without a rename too; a
  // signature already right is no change.
  const Bytes for_v2 = patched(original, {{0, "**TI92P*"}});
  const Files v2_twins = {{"x.v2p", for_v2}, {"y.89p", hard_link_to("x.v2p")}};
  rows.push_back({"a hard link re-signed in place", {"-q", "-ti", "89", "y.89p"}, v2_twins, "",
                  cannot_rename("y.89p", "y.89p"), 1, {{"x.v2p", for_v2}, {"y.89p", for_v2}}});
  rows.push_back({"a hard link signed as asked", {"-q", "-ti", "9x", "-n_extcheck", "y.89p"},
                  v2_twins, not_checked + unmodified, "", 0,
                  {{"x.v2p", for_v2}, {"y.89p", for_v2}}});
  const Files linked_v2 = {{"x.v2p", for_v2}, {"y.89p", link_to("x.v2p")}};
  Row in_place = {"a link re-signed in place", {"-q", "-ti", "89", "y.89p"}, linked_v2, "",
                  cannot_rename("y.89p", "y.89p"), 1, linked_v2};
  in_place.posix_only = not_renamed.posix_only;
  rows.push_back(in_place);
  // Its signature already right, the link is renamed, the file edited through it.
  Row link_renamed = {"a link renamed", {"-q", "-c", "via", "-ti", "v2", "y.89p"}, linked_v2, "", "",
                      0, {{"x.v2p", patched(for_v2, {{18, "via"}})}, {"y.v2p", link_to("x.v2p")}}};
  link_renamed.posix_only = not_renamed.posix_only;
  rows.push_back(link_renamed);
  for (const Row& row : rows) check(row);
}

// A file in the root folder, whose folder is "/": edited and renamed there.
TEST(Edits, FileInTheRootFolder) {
  POSIX_ONLY("the root folder");
  const std::string path = "/ostrel-test-" + std::to_string(::getpid());
  if (::access("/", W_OK) != 0) GTEST_SKIP() << "the root folder is not writable";
  write_bytes(path + ".89p", build_var_file({}));
  const Outcome r = run_program({{"-q", "-d", "a", "-ti", "v2", path + ".89p"}, "/tmp"});
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(std::filesystem::exists(path + ".89p"));
  EXPECT_EQ(read_bytes(path + ".v2p"),
            patched(build_var_file({}), {{73, "\x02"}, {0, "**TI92P*"}}));
  std::filesystem::remove(path + ".89p"), std::filesystem::remove(path + ".v2p");
}

}  // namespace
}  // namespace ostrel::testing
