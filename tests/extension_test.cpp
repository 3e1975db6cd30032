// Black-box tests of the extension check, the rename after a change of target, and its failures.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

const std::string wrong_extension = "\nERROR: Wrong file extention!\n";
const std::string not_checked = "\nWARNING: File extention is not checked!";
const std::string unmodified = "\nWARNING: Target device changed, but fileextension is left unmodified!";

std::string cannot_rename(const std::string& from, const std::string& to) {
  return "\nERROR: Cannot rename inputfile " + from + " to " + to + "!\n";
}

Bytes with_signature(Bytes bytes, const std::string& signature) {
  std::copy(signature.begin(), signature.end(), bytes.begin());
  return bytes;
}

// Creates `path` (and its folders) inside `dir` holding `bytes`.
void place(const ScratchDir& dir, const std::string& path, const Bytes& bytes) {
  std::filesystem::create_directories((dir / path).parent_path());
  write_bytes(dir / path, bytes);
}

TEST(ExtensionCheck, RefusedNamesAreNeverOpened) {
  const std::vector<std::string> names = {"PROG.89P", "prog.89b", "prog.92p", "prog.89",
                                          "prog.",    "prog",     "saves.old/prog",
                                          "prog.89p.bak", "prog.89pp", "prog.9X p"};
  for (const std::string& name : names) {
    for (bool quiet : {false, true}) {
      ScratchDir dir;
      const Bytes original = build_var_file({});
      place(dir, name, original);
      std::vector<std::string> args = {"-d", "a", "-ti", "v2", name};
      if (quiet) args.insert(args.begin(), "-q");
      const Outcome r = run_ostrel({args, dir.path()});
      EXPECT_EQ(r.out, quiet ? "" : banner) << name;
      EXPECT_EQ(r.err, wrong_extension) << name;
      EXPECT_EQ(r.status, 1) << name;
      EXPECT_EQ(read_bytes(dir / name), original) << name;
    }
  }
}

// The extension is checked before the file is looked for.
TEST(ExtensionCheck, ComesBeforeTheOpen) {
  ScratchDir dir;
  const Outcome r = run_ostrel({{"missing.txt"}, dir.path()});
  EXPECT_EQ(r.err, wrong_extension);
  EXPECT_EQ(r.status, 1);
}

TEST(Retarget, RenamesToTheNewDevicePrefix) {
  struct Case {
    std::string path;
    std::string target;
    std::string new_path;
  };
  const std::vector<Case> cases = {
      {"game.89p", "v2", "game.v2p"},
      {"game.89p", "9x", "game.9xp"},
      {"game.89p", "89", "game.89p"},
      {"game.v2z", "89", "game.89z"},
      {"prog.9xz", "9x", "prog.9xz"},
      {"my.game.89s", "v2", "my.game.v2s"},
      {"sub/dir.89p/game.9xa", "89", "sub/dir.89p/game.89a"},
      {"./a b.89t", "v2", "./a b.v2t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " -> " + c.new_path);
    ScratchDir dir;
    const Bytes original = build_var_file({});
    place(dir, c.path, original);
    const Outcome r = run_ostrel({{"-ti", c.target, c.path}, dir.path()});
    EXPECT_EQ(r.out, banner + "\nTask 01: Target device set to '" + c.target + "'\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    const std::string signature = c.target == "89" ? "**TI89**" : "**TI92P*";
    EXPECT_EQ(read_bytes(dir / c.new_path), with_signature(original, signature));
    if (c.new_path != c.path) {
      EXPECT_FALSE(std::filesystem::exists(dir / c.path));
    }
    EXPECT_EQ(list_dir((dir / c.new_path).parent_path()).size(), 1u);
  }
}

TEST(Retarget, SkippedCheckWarnsTwiceAndKeepsTheName) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"-n_extcheck", "-ti", "v2", "game.89p"},
       banner + not_checked + unmodified + "\nTask 01: Target device set to 'v2'\n"},
      {{"-ti", "v2", "-q", "game.89p", "-n_extcheck"}, not_checked + unmodified},
      {{"-n_extcheck", "-d", "a", "-ti", "9x", "game.89p"},
       banner + not_checked + "\nTask 01: Destination set to 'Archive'." + unmodified +
           "\nTask 02: Target device set to '9x'\n"},
      {{"-n_extcheck", "-d", "a", "game.89p"},
       banner + not_checked + "\nTask 01: Destination set to 'Archive'.\n"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    write_bytes(dir / "game.89p", build_var_file({}));
    const Outcome r = run_ostrel({c.args, dir.path()});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.89p"});
  }
}

TEST(Retarget, SkippedCheckEditsAnyName) {
  for (const std::string name : {"noext", "PROG.89P", "file.", "prog.txt", "saves.old/prog"}) {
    if (name == "file." && posix_only_row({}, "a name ending in a dot")) continue;
    ScratchDir dir;
    const Bytes original = build_var_file({});
    place(dir, name, original);
    const Outcome r = run_ostrel({{"-q", "-n_extcheck", "-ti", "v2", name}, dir.path()});
    EXPECT_EQ(r.out, not_checked + unmodified) << name;
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(read_bytes(dir / name), with_signature(original, "**TI92P*")) << name;
  }
}

// The name taken, even by a dangling link: refused before anything is written or replaced.
TEST(Retarget, CollisionIsAnError) {
  for (const std::string kind : {"file", "directory", "dangling link"}) {
    if (kind == "dangling link" && posix_only_row({}, "symbolic links")) continue;
    SCOPED_TRACE(kind);
    ScratchDir dir;
    const Bytes original = build_var_file({});
    Bytes other = build_var_file({});
    other.push_back(0x42);
    write_bytes(dir / "game.89p", original);
    if (kind == "file") write_bytes(dir / "game.v2p", other);
    if (kind == "directory") std::filesystem::create_directory(dir / "game.v2p");
    if (kind == "dangling link") std::filesystem::create_symlink("gone", dir / "game.v2p");
    const Outcome r = run_ostrel({{"-d", "a", "-fi", "prog", "-ti", "v2", "game.89p"}, dir.path()});
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, cannot_rename("game.89p", "game.v2p"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_bytes(dir / "game.89p"), original);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"game.89p", "game.v2p"}));
    if (kind == "file") {
      EXPECT_EQ(read_bytes(dir / "game.v2p"), other);
    }
    if (kind == "dangling link") {
      EXPECT_TRUE(std::filesystem::is_symlink(dir / "game.v2p"));
    }
  }
}

TEST(Retarget, CollisionIsReportedInOrderAndWhenQuiet) {
  ScratchDir dir;
  write_bytes(dir / "game.89p", build_var_file({}));
  write_bytes(dir / "game.9xp", build_var_file({}));
  Invocation inv{{"-q", "-ti", "9x", "game.89p"}, dir.path()};
  inv.merge_streams = true;
  const Outcome r = run_ostrel(inv);
  EXPECT_EQ(r.out, cannot_rename("game.89p", "game.9xp"));
  EXPECT_EQ(r.status, 1);
}

// Two runs retarget one file at once, each slowed at its rename: one waits for the other, finds
// the file renamed and writes nothing, so the name left always agrees with the signature.
TEST(Retarget, TwoRunsOnOneFileNeverMix) {
  POSIX_ONLY("strace");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "game.9xs", original);
  const std::vector<std::string> slow_rename = {
      "-e", "inject=renameat2,rename,link,linkat:delay_enter=400000"};
  const auto to_89 = under_strace({{"-q", "-ti", "89", "game.9xs"}, dir.path()}, slow_rename);
  const auto to_v2 = under_strace({{"-q", "-ti", "v2", "game.9xs"}, dir.path()}, slow_rename);
  if (!to_89) GTEST_SKIP() << "strace cannot run here";
  Outcome r89;
  Outcome rv2;
  std::thread other([&] { rv2 = run_ostrel(*to_v2); });
  r89 = run_ostrel(*to_89);
  other.join();
  ASSERT_EQ(r89.status + rv2.status, 1) << r89.err << rv2.err;
  const bool won_89 = r89.status == 0;
  EXPECT_EQ((won_89 ? rv2 : r89).err, cannot_open("game.9xs"));
  const std::string name = won_89 ? "game.89s" : "game.v2s";
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{name});
  EXPECT_EQ(read_bytes(dir / name), with_signature(original, won_89 ? "**TI89**" : "**TI92P*"));
}

// A filesystem with neither the no-replace flag nor hard links still gets its rename.
TEST(Retarget, WithoutNoReplaceOrLinks) {
  POSIX_ONLY("strace");
  ScratchDir dir;
  write_bytes(dir / "game.89p", build_var_file({}));
  const auto plain_only =
      under_strace({{"-q", "-ti", "v2", "game.89p"}, dir.path()},
                   {"-e", "inject=renameat2:error=EINVAL", "-e", "inject=link,linkat:error=EPERM"});
  if (!plain_only) GTEST_SKIP() << "strace cannot run here";
  const Outcome r = run_ostrel(*plain_only);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.v2p"});
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
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ScratchDir dir;
    write_bytes(dir / "game.89p", a);
    write_bytes(dir / "game.9xp", b);
    Outcome ra;
    Outcome rb;
    std::thread other([&] { rb = run_ostrel({{"-q", "-ti", "v2", "game.9xp"}, dir.path()}); });
    ra = run_ostrel({{"-q", "-ti", "v2", "game.89p"}, dir.path()});
    other.join();
    ASSERT_EQ(ra.status + rb.status, 1) << ra.err << rb.err;
    const bool a_won = ra.status == 0;
    (a_won ? a_wins : b_wins)++;
    const Outcome& loser = a_won ? rb : ra;
    const std::string loser_name = a_won ? "game.9xp" : "game.89p";
    EXPECT_EQ(loser.err, cannot_rename(loser_name, "game.v2p"));
    EXPECT_EQ((a_won ? ra : rb).err, "");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{loser_name, "game.v2p"}));
    EXPECT_EQ(read_bytes(dir / "game.v2p"), with_signature(a_won ? a : b, "**TI92P*"));
    EXPECT_EQ(read_bytes(dir / loser_name), a_won ? b : a);
  }
  std::printf("race: game.89p won %d times, game.9xp %d times\n", a_wins, b_wins);
}

}  // namespace
}  // namespace ostrel::testing
