// Black-box tests of the extension check, the rename after a change of target, and its failures.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/rows.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

using namespace std::chrono_literals;

// Names without a known extension are refused before anything is opened, quiet or not; a
// missing file too, the extension being checked first.
TEST(ExtensionCheck, RefusedNamesAreNeverOpened) {
  const Bytes original = build_var_file({});
  std::vector<Row> rows = {{"missing.txt", {"missing.txt"}, {}, banner, wrong_extension, 1, {}}};
  for (const std::string name : {"PROG.89P", "prog.89b", "prog.92p", "prog.89", "prog.", "prog",
                                 "saves.old/prog", "prog.89p.bak", "prog.89pp", "prog.9X p"}) {
    const Files file = file_at(name, original);
    rows.push_back({name, {"-d", "a", "-ti", "v2", name}, file, banner, wrong_extension, 1, file});
    rows.push_back({name + ", quiet", {"-q", "-d", "a", "-ti", "v2", name}, file, "",
                    wrong_extension, 1, file});
  }
  for (const Row& row : rows) check(row);
}

// The new name keeps everything but the device prefix; the signature follows the target.
TEST(Retarget, RenamesToTheNewDevicePrefix) {
  const Bytes original = build_var_file({});
  std::vector<Row> rows;
  for (const auto& [path, target, new_path] : std::vector<std::array<std::string, 3>>{
           {"game.89p", "v2", "game.v2p"},
           {"game.89p", "9x", "game.9xp"},
           {"game.89p", "89", "game.89p"},
           {"game.v2z", "89", "game.89z"},
           {"prog.9xz", "9x", "prog.9xz"},
           {"my.game.89s", "v2", "my.game.v2s"},
           {"sub/dir.89p/game.9xa", "89", "sub/dir.89p/game.89a"},
           {"./a b.89t", "v2", "a b.v2t"},
       }) {
    const std::string signature = target == "89" ? "**TI89**" : "**TI92P*";
    rows.push_back({path + " -> " + new_path, {"-ti", target, path}, file_at(path, original),
                    banner + "\nTask 01: Target device set to '" + target + "'\n", "", 0,
                    file_at(new_path, patched(original, {{0, signature}}))});
  }
  for (const Row& row : rows) check(row);
}

// Without the check there is no rename either: both warnings, the signature still written.
TEST(Retarget, SkippedCheckWarnsTwiceAndKeepsTheName) {
  const Bytes original = build_var_file({});
  const Files file = {{"game.89p", original}};
  const auto edited = [&](std::vector<Patch> patches) {
    return Files{{"game.89p", patched(original, patches)}};
  };
  const Files retargeted = edited({{0, "**TI92P*"}});
  std::vector<Row> rows = {
      {"retargeted", {"-n_extcheck", "-ti", "v2", "game.89p"}, file,
       banner + not_checked + unmodified + "\nTask 01: Target device set to 'v2'\n", "", 0,
       retargeted},
      {"quiet, the flag last", {"-ti", "v2", "-q", "game.89p", "-n_extcheck"}, file,
       not_checked + unmodified, "", 0, retargeted},
      {"archived and retargeted", {"-n_extcheck", "-d", "a", "-ti", "9x", "game.89p"}, file,
       banner + not_checked + "\nTask 01: Destination set to 'Archive'." + unmodified +
           "\nTask 02: Target device set to '9x'\n",
       "", 0, edited({{73, "\x02"}, {0, "**TI92P*"}})},
      {"archived", {"-n_extcheck", "-d", "a", "game.89p"}, file,
       banner + not_checked + "\nTask 01: Destination set to 'Archive'.\n", "", 0,
       edited({{73, "\x02"}})},
  };
  for (const std::string name : {"noext", "PROG.89P", "file.", "prog.txt", "saves.old/prog"}) {
    Row any_name = {"any name: " + name, {"-q", "-n_extcheck", "-ti", "v2", name},
                    file_at(name, original), not_checked + unmodified, "", 0,
                    file_at(name, patched(original, {{0, "**TI92P*"}}))};
    if (name == "file.") any_name.posix_only = "a name ending in a dot";
    rows.push_back(any_name);
  }
  for (const Row& row : rows) check(row);
}

// The name taken, even by a dangling link: refused before anything is written or replaced, and
// reported in order with the rest, also when quiet.
TEST(Retarget, CollisionIsAnError) {
  const Bytes original = build_var_file({});
  Bytes other = original;
  other.push_back(0x42);
  const std::string refused = cannot_rename("game.89p", "game.v2p");
  const std::vector<std::string> args = {"-d", "a", "-fi", "prog", "-ti", "v2", "game.89p"};
  std::vector<Row> rows;
  for (const auto& [kind, taken] : std::vector<std::pair<std::string, Files>>{
           {"a file", {{"game.v2p", other}}},
           {"a folder", {{"game.v2p/", {}}}},
           {"a dangling link", {{"game.v2p", link_to("gone")}}},
       }) {
    Files files = taken;
    files["game.89p"] = original;
    rows.push_back({"taken by " + kind, args, files, banner, refused, 1, files});
  }
  rows.back().posix_only = "symbolic links";
  Row quiet = {"reported in order, and when quiet", {"-q", "-ti", "9x", "game.89p"},
               {{"game.89p", original}, {"game.9xp", original}},
               cannot_rename("game.89p", "game.9xp"), "", 1,
               {{"game.89p", original}, {"game.9xp", original}}};
  quiet.merge_streams = true;
  rows.push_back(quiet);
  for (const Row& row : rows) check(row);
}

TEST(Retarget, TwoRunsOnOneFileNeverMix) {
  POSIX_ONLY("strace");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "game.9xs", original);
  const std::vector<std::string> slow_rename = {
      "-e", "inject=" + rename_calls + ":delay_enter=400000"};
  UNDER_STRACE(to_89, {{"-q", "-ti", "89", "game.9xs"}, dir.path()}, slow_rename);
  UNDER_STRACE(to_v2, {{"-q", "-ti", "v2", "game.9xs"}, dir.path()}, slow_rename);
  Outcome rv2;
  const Outcome r89 = run_while(*to_89, 0ms, [&] { rv2 = run_program(*to_v2); });
  ASSERT_EQ(r89.status + rv2.status, 1) << r89.err << rv2.err;
  const bool won_89 = r89.status == 0;
  EXPECT_EQ((won_89 ? rv2 : r89).err, cannot_open("game.9xs"));
  const std::string name = won_89 ? "game.89s" : "game.v2s";
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{name});
  EXPECT_EQ(read_bytes(dir / name), patched(original, {{0, won_89 ? "**TI89**" : "**TI92P*"}}));
}

// What a system or filesystem may do to the calls a run makes: no no-replace rename and no hard
// links (the rename still happens); no locks at all (the edit goes on without); a write cut short
// by a signal (it is made again); the old name that cannot be removed after the link (the new one
// is taken back: the file keeps its one name, nothing written).
TEST(Retarget, WhatTheSystemMayDo) {
  const Bytes original = build_var_file({});
  const Files file = {{"game.89p", original}};
  const Files retargeted = {{"game.v2p", patched(original, {{73, "\x02"}, {0, "**TI92P*"}})}};
  const std::vector<std::string> args = {"-q", "-d", "a", "-ti", "v2", "game.89p"};
  std::vector<Row> rows = {
      {"without no-replace or links", args, file, "", "", 0, retargeted},
      {"without locks", args, file, "", "", 0, retargeted},
      {"a write interrupted", args, file, "", "", 0, retargeted},
      {"the old name cannot be removed", args, file, "", cannot_rename("game.89p", "game.v2p"), 1,
       file},
  };
  rows[0].strace = {"-e", "inject=renameat2:error=EINVAL", "-e", "inject=link,linkat:error=EPERM"};
  rows[1].strace = {"-e", "inject=flock:error=ENOLCK", "-e", "inject=fcntl:error=ENOLCK"};
  rows[2].strace = {"-e", "inject=pwrite64:error=EINTR:when=1"};
  rows[3].strace = {"-e", "inject=renameat2:error=EINVAL", "-e",
                    "inject=unlink,unlinkat:error=EACCES:when=1"};
  for (Row& row : rows) {
    row.posix_only = "strace";
    check(row);
  }
}

// Two runs want the same new name at once: exactly one gets it, the other reports the error,
// and neither file is lost or overwritten. The loser finds the name taken, before its rename or
// at it, and writes nothing either way.
TEST(Retarget, RaceForTheSameNameHasOneWinner) {
  VarSpec a_spec;
  a_spec.name = "from89";
  VarSpec b_spec;
  b_spec.name = "from9x";
  b_spec.signature = "**TI92P*";
  const Bytes a = build_var_file(a_spec);
  const Bytes b = build_var_file(b_spec);
  int a_wins = 0;
  int b_wins = 0;
  // OSTREL_RACE_ROUNDS=n sets the number of rounds (default 200), as CI does where runs are slow.
  const char* rounds_set = std::getenv("OSTREL_RACE_ROUNDS");
  const int rounds = rounds_set ? std::atoi(rounds_set) : 200;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ScratchDir dir;
    write_bytes(dir / "game.89p", a);
    write_bytes(dir / "game.9xp", b);
    Outcome rb;
    const Outcome ra = run_while({{"-q", "-ti", "v2", "game.89p"}, dir.path()}, 0ms, [&] {
      rb = run_program({{"-q", "-ti", "v2", "game.9xp"}, dir.path()});
    });
    ASSERT_EQ(ra.status + rb.status, 1) << ra.err << rb.err;
    const bool a_won = ra.status == 0;
    (a_won ? a_wins : b_wins)++;
    const Outcome& loser = a_won ? rb : ra;
    const std::string loser_name = a_won ? "game.9xp" : "game.89p";
    EXPECT_EQ(loser.err, cannot_rename(loser_name, "game.v2p"));
    EXPECT_EQ((a_won ? ra : rb).err, "");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{loser_name, "game.v2p"}));
    EXPECT_EQ(read_bytes(dir / "game.v2p"), patched(a_won ? a : b, {{0, "**TI92P*"}}));
    EXPECT_EQ(read_bytes(dir / loser_name), a_won ? b : a);
  }
  std::printf("race: game.89p won %d times, game.9xp %d times\n", a_wins, b_wins);
}

}  // namespace
}  // namespace ostrel::testing
