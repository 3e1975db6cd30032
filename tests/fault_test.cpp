// Black-box tests of failures: files that cannot be opened, writes that fail, message order.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "tests/support/process.h"
#include "tests/support/rows.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

using namespace std::chrono_literals;

// Also the names Windows would take for another file (its devices, a trailing dot or space,
// which it drops): on POSIX systems they are simply missing.
TEST(CannotOpen, MissingFile) {
  const Files file = {{"file.89p", build_var_file({})}};
  const auto missing = [&](std::vector<std::string> args, std::string out) {
    const std::string path = args.back();
    return Row{path, std::move(args), file, std::move(out), cannot_open(path), 1, file};
  };
  const std::vector<Row> rows = {
      missing({"missing.89p"}, banner),  // opened before any task is considered
      missing({"-d", "a", "missing.89p"}, banner),
      missing({"-q", "-d", "a", "missing.89p"}, ""),
      missing({"-q", "sub/missing.89p"}, ""),
      missing({"-q", "-d", "a", "NUL.89p"}, ""),
      missing({"-q", "-d", "a", "CON.89p"}, ""),
      missing({"-q", "-n_extcheck", "-d", "a", "file.89p."}, not_checked),
      missing({"-q", "-n_extcheck", "-d", "a", "file.89p "}, not_checked),
  };
  for (const Row& row : rows) check(row);
}

// Only regular files are edited: anything else is refused, never written, and never waited on.
TEST(CannotOpen, NotARegularFile) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "folder.89p");
  ASSERT_EQ(::mkfifo((dir / "pipe.89p").c_str(), 0600), 0);
  std::filesystem::create_symlink("pipe.89p", dir / "pipelink.89p");
  std::filesystem::create_symlink("/dev/null", dir / "null.89p");
  std::filesystem::create_symlink("nowhere.89p", dir / "dangling.89p");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = (dir / "sock.89p").string();
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "pipe.89p").c_str(), IN_OPEN), 0);

  for (const std::string name :
       {"folder.89p", "pipe.89p", "pipelink.89p", "null.89p", "dangling.89p", "sock.89p"}) {
    const Outcome r = run_program(
        {.args = {"-q", "-d", "a", "-ti", "89", name}, .cwd = dir.path(), .timeout_ms = 5000});
    EXPECT_FALSE(r.timed_out) << name;
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, cannot_open(name)) << name;
    EXPECT_EQ(r.status, 1) << name;
  }
  // ostrel-show names why each is not listed, a socket among what is not a regular file (a
  // POSIX matter: wine cannot open one at all).
  Invocation show{.args = {"folder.89p", "pipe.89p", "pipelink.89p", "null.89p", "dangling.89p"},
                  .cwd = dir.path(),
                  .timeout_ms = 5000,
                  .binary = ostrel_show_binary()};
  if (!testing_windows()) show.args.push_back("sock.89p");
  const Outcome shown = run_program(show);
  EXPECT_EQ(shown.err,
            "ostrel-show: folder.89p: is a directory\nostrel-show: -r walks a folder for the "
            "TI-68k files in it\nostrel-show: pipe.89p: not a regular file\n"
            "ostrel-show: pipelink.89p: not a regular file\nostrel-show: null.89p: not a regular "
            "file\nostrel-show: dangling.89p: no such file\n" +
                std::string(testing_windows() ? ""
                                              : "ostrel-show: sock.89p: not a regular file\n"));
  EXPECT_EQ(shown.status, 1);
  char event[256];  // (Windows has no FIFOs: wine's are what it makes of a Unix one)
  if (!testing_windows()) {
    EXPECT_LT(::read(watch, event, sizeof event), 0) << "the FIFO was opened";
  }
  ::close(watch);
  ::close(sock);
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"dangling.89p", "folder.89p",
                                                             "null.89p", "pipe.89p",
                                                             "pipelink.89p", "sock.89p"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.89p"));
}

// The path swapped for a link to a FIFO after the run first looked at it: what was looked at is
// what gets opened, so the FIFO is never opened, and the run, finding that the path now names
// something else, writes nothing.
TEST(CannotOpen, PathSwappedAfterTheLook) {
  POSIX_ONLY("strace, FIFOs");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "game.89p", original);
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "pipe").c_str(), IN_OPEN), 0);
  // The first look at the path and its first open each take a second longer: the swap lands
  // after the look, before anything else. The path is absolute, as strace matches it.
  const std::string path = (dir / "game.89p").string();
  UNDER_STRACE(slowed, {{"-q", "-d", "a", path}, dir.path()},
               {"-P", path, "-e",
                "inject=" + open_calls + "," + look_calls + ":delay_exit=1000000:when=1"});
  const Outcome r = run_while(*slowed, 500ms, [&] {
    std::filesystem::rename(dir / "game.89p", dir / "real.89p");
    std::filesystem::create_symlink("pipe", dir / "game.89p");
  });
  EXPECT_EQ(r.err, cannot_open(path));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_bytes(dir / "real.89p"), original);
  char event[256];
  EXPECT_LT(::read(watch, event, sizeof event), 0) << "the FIFO was opened";
  ::close(watch);
  // ostrel-show goes for speed, the look and the open two steps: a FIFO put in the file's place
  // between them is opened, never waited on, and never read: what it holds stays there.
  const int fifo = ::open((dir / "pipe").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_EQ(::write(fifo, "data", 4), 4);
  std::filesystem::rename(dir / "real.89p", dir / "game.89p");
  const auto shown =
      under_strace({.args = {path}, .cwd = dir.path(), .binary = ostrel_show_binary()},
                   {"-P", path, "-e", "inject=" + look_calls + ":delay_exit=1000000:when=1"});
  const Outcome listed =
      run_while(*shown, 500ms, [&] { std::filesystem::rename(dir / "pipe", dir / "game.89p"); });
  EXPECT_EQ(listed.err, "ostrel-show: " + path + ": not a regular file\n");
  char held[8];
  EXPECT_EQ(::read(fifo, held, sizeof held), 4);
  ::close(fifo);
  // So is a device (as /dev/zero, which a read would fill with zeros): what was opened is looked
  // at before anything is read.
  std::filesystem::remove(dir / "game.89p");
  write_bytes(dir / "game.89p", original);
  if (::geteuid() == 0) {
    const Outcome device = run_while(*shown, 500ms, [&] {
      std::filesystem::remove(dir / "game.89p");
      ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 5));  // a macro in musl
    });
    EXPECT_EQ(device.err, "ostrel-show: " + path + ": not a regular file\n");
  }
  // The walk holds its folders: one swapped for a link elsewhere once its folder was read is not
  // walked into.
  std::filesystem::create_directories(dir / "g/sub");
  std::filesystem::create_directories(dir / "outside");
  write_bytes(dir / "outside/secret.89p", original);
  const std::string folder = (dir / "g").string();
  const auto walking =
      under_strace({.args = {"-r", folder}, .cwd = dir.path(), .binary = ostrel_show_binary()},
                   {"--quiet=path-resolution", "-P", folder, "-e",
                    "inject=getdents,getdents64:delay_exit=1000000:when=2"});
  const Outcome walked = run_while(*walking, 500ms, [&] {
    std::filesystem::rename(dir / "g/sub", dir / "g/old");
    std::filesystem::create_directory_symlink("../outside", dir / "g/sub");
  });
  EXPECT_EQ(walked.out + walked.err, "");
}

// A build step writes a new file and renames it over the path after the run checked what the
// path names: the run's rename then moves that new file, finds it is not the one it locked, gives
// it its name back and writes nothing, to either file.
TEST(CannotOpen, PathReplacedBeforeTheRename) {
  POSIX_ONLY("strace");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  Bytes replacement = original;
  replacement.push_back(0x42);
  write_bytes(dir / "game.89p", original);
  const int kept = ::open((dir / "game.89p").c_str(), O_RDONLY | O_CLOEXEC);  // the locked file
  // The read of the header, right after the check, starts a second late. Only this file's read:
  // a sanitizer's runtime reads files of its own at start. strace matches the absolute path.
  const std::string path = std::filesystem::canonical(dir / "game.89p").string();
  UNDER_STRACE(slowed, {{"-q", "-d", "a", "-ti", "v2", "game.89p"}, dir.path()},
               {"-P", path, "-e", "inject=pread64:delay_enter=1000000"});
  const Outcome r = run_while(*slowed, 500ms, [&] {
    write_bytes(dir / "game.tmp", replacement);
    std::filesystem::rename(dir / "game.tmp", dir / "game.89p");
  });
  EXPECT_EQ(r.err, cannot_open("game.89p"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.89p"});
  EXPECT_EQ(read_bytes(dir / "game.89p"), replacement);
  EXPECT_EQ(read_bytes("/proc/self/fd/" + std::to_string(kept)), original);
  ::close(kept);
}

// A lock that is never let go (lockf in a script, a stopped run, or a read lock by a user who
// can only read the file) is waited for about ten seconds; then ostrel gives up, having written
// nothing, and ostrel-show says so for that file and goes on with the next: ten seconds in all,
// a second file still locked then reported at once. So is a lease whose holder does not let go,
// long before the kernel's lease-break time (45 s). All run at once.
TEST(CannotOpen, LockHeldPastTheLimit) {
  ScratchDir dir;
  const Bytes original = build_var_file({});
  for (const char* name : {"game.89p", "other.89p", "leased.89p", "also.89p"}) {
    write_bytes(dir / name, original);
  }
  const int holder = ::open((dir / "game.89p").c_str(), O_RDWR | O_CLOEXEC);
  const int also = ::open((dir / "also.89p").c_str(), O_RDWR | O_CLOEXEC);
  struct flock record {};
  record.l_type = F_WRLCK;
  for (const int fd : {holder, also}) {  // ostrel waits for the one, ostrel-show for the other
    ASSERT_EQ(::fcntl(fd, F_SETLK, &record), 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  }
  ::signal(SIGIO, SIG_IGN);  // the notice that the lease is to be broken
  const int lease = ::open((dir / "leased.89p").c_str(), O_RDONLY | O_CLOEXEC);
  const bool leased = !testing_windows() && ::fcntl(lease, F_SETLEASE, F_RDLCK) == 0;
  const auto start = std::chrono::steady_clock::now();
  Outcome shown, leased_run;
  const Outcome r = run_while({{"-q", "-d", "a", "-ti", "v2", "game.89p"}, dir.path()}, 0ms, [&] {
    leased_run = run_while({{"-q", "-d", "a", "leased.89p"}, dir.path()}, 0ms, [&] {
      shown = run_program({.args = {"game.89p", "also.89p", "other.89p"},
                           .cwd = dir.path(),
                           .binary = ostrel_show_binary()});
    });
  });
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ::close(holder);
  ::close(lease);
  EXPECT_EQ(r.err, cannot_open("game.89p"));
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(took.count(), 9.5);
  EXPECT_LT(took.count(), 15.0);
  ::close(also);
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"also.89p", "game.89p", "leased.89p", "other.89p"}));
  EXPECT_EQ(read_bytes(dir / "game.89p"), original);
  if (leased) {
    EXPECT_EQ(leased_run.err, cannot_open("leased.89p"));
  }
  EXPECT_EQ(read_bytes(dir / "leased.89p"), leased ? original : patched(original, {{73, "\x02"}}));
  EXPECT_EQ(shown.err, "ostrel-show: game.89p: locked by another program\nostrel-show: also.89p: "
                       "locked by another program\n");
  // The header, and the other file's line.
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 2) << shown.out;
  EXPECT_TRUE(shown.out.ends_with("  other.89p\n")) << shown.out;
  EXPECT_EQ(shown.status, 1);
}

// Whatever the signal, coming as the file is renamed or between two writes (strace sends it
// with that call), it takes effect only after the close: the file is left with its old header or
// the whole new one, never under a name its signature contradicts. Every number from 1 to 64, the
// C library's own among them, but those that stop a process (19 to 22, after the close) and
// SIGKILL, which nothing can hold: at the first write, it leaves the new name with the old header,
// what ostrel-show --check finds and mends.
TEST(Interrupted, LeavesTheOldHeaderOrTheWholeNewOne) {
  const Bytes original = build_var_file({});
  const std::vector<std::string> retarget = {"-q", "-d", "a", "-ti", "v2", "game.89p"};
  const Files retargeted = {{"game.v2p", patched(original, {{73, "\x02"}, {0, "**TI92P*"}})}};
  std::vector<Row> rows;
  for (int signal = 1; signal <= 64; ++signal) {
    if (signal == SIGKILL || (signal >= SIGSTOP && signal <= SIGTTOU)) continue;
    const bool ignored = signal == SIGPIPE || signal == SIGXFSZ || signal == SIGCHLD ||
                         signal == SIGCONT || signal == SIGURG || signal == SIGWINCH;
    // strace, which passes on how the run ended, cannot end itself by glibc's own two signals.
    const int killed = signal == 32 || signal == 33 ? 128 + signal : -1;
    rows.push_back({"signal " + std::to_string(signal) + " at the rename", retarget,
                    {{"game.89p", original}}, "", "", ignored ? 0 : killed, retargeted});
    rows.back().strace = {"-e", "inject=" + rename_calls + ":signal=" + std::to_string(signal) +
                                    ":when=1"};
  }
  rows.push_back({"SIGKILL at the first write", retarget, {{"game.89p", original}}, "", "", -1,
                  {{"game.v2p", original}}});
  rows.back().strace = {"-e", "inject=pwrite64:signal=SIGKILL:when=1"};
  rows.push_back({"SIGINT between two writes, no rename", {"-q", "-d", "a", "-fi", "p", "game.89p"},
                  {{"game.89p", original}}, "", "", -1,
                  {{"game.89p", patched(original, {{73, "\x02"}, {64, "p" + zeros(7)}})}}});
  rows.back().strace = {"-e", "inject=pwrite64:signal=SIGINT:when=1"};
  for (Row& row : rows) {
    row.posix_only = "strace, signals";
    check(row);
  }
}

// A file under a lease (as Samba or a backup agent takes) is waited for, not refused: by ostrel,
// whose writing open breaks a read lease, and by ostrel-show, whose reading open breaks a write
// lease.
TEST(Edits, LeasedFileIsWaitedFor) {
  POSIX_ONLY("leases");
  ::signal(SIGIO, SIG_IGN);  // the notice that the lease is to be broken
  struct Case {
    int lease;
    Invocation run;
  };
  const Case cases[] = {
      {F_RDLCK, {{"-q", "-d", "a", "game.89p"}}},
      {F_WRLCK, {.args = {"game.89p"}, .binary = ostrel_show_binary()}},
  };
  for (Case c : cases) {
    ScratchDir dir;
    write_bytes(dir / "game.89p", build_var_file({}));
    c.run.cwd = dir.path();
    const int holder = ::open((dir / "game.89p").c_str(), O_RDONLY | O_CLOEXEC);
    if (::fcntl(holder, F_SETLEASE, c.lease) != 0) GTEST_SKIP() << "no leases on this filesystem";
    const Outcome r = run_while(c.run, 300ms, [&] { ::fcntl(holder, F_SETLEASE, F_UNLCK); });
    ::close(holder);
    EXPECT_EQ(r.err, "") << c.run.binary;
    EXPECT_EQ(r.status, 0) << c.run.binary;
    EXPECT_EQ(read_bytes(dir / "game.89p")[73], c.lease == F_RDLCK ? 2 : 0) << c.run.binary;
  }
}

// ostrel waits for a program holding either kind of lock (flock, or a record lock as fcntl and
// lockf take; an ostrel run holds both from its open to its close), ostrel-show for flock (and so
// for ostrel): the holder's change, made while they wait, is under ostrel's own edit, and in
// ostrel-show's listing, never half made. A file the holder renamed meanwhile is listed as the
// path names it then.
TEST(Locks, EveryKindIsWaitedFor) {
  POSIX_ONLY("locks from the test");
  struct flock whole {};
  whole.l_type = F_WRLCK;
  // -1: flock, and the file renamed; -2: flock, and the file grown past the size limit meanwhile
  // (refused unread by ostrel-show).
  for (const int kind : {LOCK_EX, F_SETLK, -1, -2}) {
    for (const bool show : {false, true}) {
      if (show ? kind == F_SETLK : kind == -2) continue;
      ScratchDir dir;
      write_bytes(dir / "game.89p", build_var_file({}));
      const int holder = ::open((dir / "game.89p").c_str(), O_RDWR | O_CLOEXEC);
      ASSERT_EQ(kind == F_SETLK ? ::fcntl(holder, F_SETLK, &whole) : ::flock(holder, LOCK_EX), 0);
      const Invocation run = show ? Invocation{.args = {"--json", "game.89p"}, .cwd = dir.path(),
                                               .binary = ostrel_show_binary()}
                                  : Invocation{{"-q", "-d", "a", "game.89p"}, dir.path()};
      const Outcome r = run_while(run, 300ms, [&] {
        ASSERT_EQ(::pwrite(holder, "\x01", 1, 73), 1);  // locked
        if (kind == -1) std::filesystem::rename(dir / "game.89p", dir / "game.v2p");
        if (kind == -2) {
          ASSERT_EQ(::ftruncate(holder, 200 << 20), 0);
        }
        ::close(holder);
      });
      if (kind == -2) {
        EXPECT_EQ(r.err, "ostrel-show: game.89p: too large to be a TI-68k variable file\n");
      } else if (kind == -1) {
        EXPECT_EQ(r.err, show ? "ostrel-show: game.89p: no such file\n" : cannot_open("game.89p"));
      } else if (show) {
        EXPECT_NE(r.out.find("\"destination\":\"RAM, locked\""), std::string::npos) << r.err;
      } else {
        EXPECT_EQ(read_bytes(dir / "game.89p")[73], 2) << r.err;
      }
    }
  }
}

// Whatever takes the file's place, or its folder's, while a run renames it cannot redirect the
// run: a link put in the file's place before the rename is renamed, found not to be the file, and
// given its name back, nothing written; a folder of the path pointed elsewhere after the rename
// changes nothing, the rest of the run being made in the folder it held.
TEST(CannotOpen, SwappedWhileRenaming) {
  POSIX_ONLY("strace, symbolic links");
  const Bytes original = build_var_file({});
  ScratchDir dir;
  std::filesystem::create_directories(dir / "x");
  std::filesystem::create_directories(dir / "y");
  std::filesystem::create_directory_symlink("x", dir / "a");
  write_bytes(dir / "x/game.89p", original);
  write_bytes(dir / "game.89p", original);
  const auto swapped_at = [&](const std::string& when, const std::string& path, auto swap) {
    const auto slowed =
        under_strace({{"-q", "-d", "a", "-ti", "v2", path}, dir.path()},
                     {"-e", "inject=" + rename_calls + ":" + when + "=1000000:when=1"});
    return slowed ? std::optional(run_while(*slowed, 500ms, swap)) : std::nullopt;
  };
  const auto linked = swapped_at("delay_enter", "game.89p", [&] {
    std::filesystem::rename(dir / "game.89p", dir / "real.89p");
    std::filesystem::create_symlink("real.89p", dir / "game.89p");
  });
  if (!linked) GTEST_SKIP() << "strace cannot inject faults here";
  EXPECT_EQ(linked->err, cannot_open("game.89p"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "game.89p"));
  EXPECT_EQ(read_bytes(dir / "real.89p"), original);
  // A hard link made after the check, before the rename: found before the first write.
  const auto twin = swapped_at("delay_enter", "real.89p", [&] {
    std::filesystem::create_hard_link(dir / "real.89p", dir / "twin.89p");
  });
  EXPECT_EQ(twin->err, cannot_rename("real.89p", "real.v2p"));
  EXPECT_EQ(read_bytes(dir / "real.89p"), original);
  EXPECT_EQ(read_bytes(dir / "twin.89p"), original);
  const auto moved = swapped_at("delay_exit", "a/game.89p", [&] {
    std::filesystem::remove(dir / "a");
    std::filesystem::create_directory_symlink("y", dir / "a");
  });
  EXPECT_EQ(moved->status, 0) << moved->err;
  EXPECT_EQ(list_dir(dir / "x"), std::vector<std::string>{"game.v2p"});
  EXPECT_EQ(read_bytes(dir / "x/game.v2p"), patched(original, {{73, "\x02"}, {0, "**TI92P*"}}));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "y"));
}

// A write that fails after the rename, the old name taken meanwhile by another program: the file
// keeps the new name, and the error names it so.
TEST(WriteFailure, NameThatCannotBeGivenBack) {
  POSIX_ONLY("strace");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "t.89s", original);
  Invocation run{{"-q", "-d", "a", "-ti", "v2", "t.89s"}, dir.path()};
  run.file_size_limit = 16;
  UNDER_STRACE(slowed, run, {"-e", "inject=pwrite64:delay_enter=1000000:when=1"});
  const Outcome r = run_while(*slowed, 500ms, [&] { write_bytes(dir / "t.89s", {1}); });
  EXPECT_EQ(r.err, cannot_write("t.v2s"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_bytes(dir / "t.89s"), Bytes{1});
  EXPECT_EQ(read_bytes(dir / "t.v2s"), original);
}

// Closed or abandoned console streams: nothing meant for them reaches the file, and the status and
// standard error (when there is one) still tell what happened to the file.
TEST(ConsoleStreams, ClosedOrAbandoned) {
  const Files empty = {{"file.89p", {}}};
  const Files archived = {{"file.89p", patched({}, {{73, "\x02"}})}};
  const auto streams = [](Row row, Stream out, Stream err) {
    row.out_stream = out;
    row.err_stream = err;
    return row;
  };
  const Stream closed = Stream::closed, captured = Stream::captured, abandoned = Stream::abandoned;
  Row write_fails = {"output closed, write fails", {"-d", "a", "file.89p"}, empty, "",
                     cannot_write("file.89p"), 1, empty};
  write_fails.file_size_limit = 16;
  const std::vector<Row> rows = {
      streams({"output closed", {"-d", "a", "file.89p"}, empty, "", "", 0, archived}, closed,
              captured),
      streams({"error closed", {"-q", "file.89p"}, empty, "", "", 0, empty}, captured, closed),
      streams({"both closed", {"-d", "a", "file.89p"}, empty, "", "", 0, archived}, closed, closed),
      // The warning is written while the file is open: it must not land in the file.
      streams({"both closed, a warning for standard error", {"file.89p"}, empty, "", "", 0, empty},
              closed, closed),
      streams(write_fails, closed, captured),
      streams({"reader gone, file missing", {"-d", "a", "missing.89p"}, empty, "",
               cannot_open("missing.89p"), 1, empty},
              abandoned, captured),
      streams({"reader gone, edit done", {"-d", "a", "file.89p"}, empty, "", "", 0, archived},
              abandoned, captured),
  };
  for (const Row& row : rows) check(row);
}

// On a terminal, what a terminal would act on in a path of an error, or in a value on a task line,
// shows escaped, and where the locale's character set is not UTF-8 (Latin-1, where 0x9B is a
// control), everything beyond ASCII; in a pipe, the bytes are as they are (the rows elsewhere).
TEST(ConsoleStreams, PathsAndValuesOnATerminal) {
  POSIX_ONLY("a pseudo-terminal");
  if (!std::filesystem::exists("/usr/bin/script")) GTEST_SKIP() << "script is not installed";
  const std::string task = banner + lacking("<filename>") + "\nTask 01: On-calc filename set to '";
  const std::vector<std::vector<std::string>> cases = {  // arguments, name, locale, output
      {"-q -d a \"$NAME\"", "\x1b[2J\x1b]0;t\a.89p", "C.UTF-8",
       cannot_open("\\x1b[2J\\x1b]0;t\\x07.89p")},
      {"-fi \"$NAME\" f.89p", "\x1b[2J\xE2\x80\xAE", "C.UTF-8",
       task + "\\x1b[2J\\xe2\\x80\\xae'.\n"},
      {"-q \"$NAME\"", "\xC3\x9B[2J.89p", "en_US.ISO-8859-1", cannot_open("\\xc3\\x9b[2J.89p")},
      {"-q -d a \"$NAME\"", "game\x1b[2J.89p", "C.UTF-8", cannot_open("game\\x1b[2J.89p")}};
  for (const std::vector<std::string>& c : cases) {
    ScratchDir dir;
    write_bytes(dir / "f.89p", build_var_file({}));
    const Outcome r = run_program({.args = {"-qec", "exec \"$OSTREL\" " + c[0], "/dev/null"},
                                   .cwd = dir.path(),
                                   .binary = "/usr/bin/script",
                                   .env = {"OSTREL=" + ostrel_binary().string(), "NAME=" + c[1],
                                           "LC_ALL=" + c[2], "SHELL=/bin/sh"}});
    std::string out;  // the terminal ends each line with a carriage return
    for (const char byte : c[3]) out += byte == '\n' ? "\r\n" : std::string(1, byte);
    EXPECT_EQ(r.out, out) << c[0];
  }
}

// A write that fails ends the run with the write error and status 1; what was written stays.
TEST(WriteFailure, FileSizeLimit) {
  const auto fails = [](std::string title, std::vector<std::string> args, unsigned long limit,
                        std::string task_lines, std::vector<Patch> written) {
    Row row = {std::move(title), std::move(args), {{"file.89p", {}}}, banner + task_lines,
               cannot_write("file.89p"), 1, {{"file.89p", patched({}, written)}}};
    row.file_size_limit = limit;
    return row;
  };
  const std::vector<Row> rows = {
      // The destination's task line comes before its write.
      fails("destination", {"-d", "a", "file.89p"}, 16, "\nTask 01: Destination set to 'Archive'.",
            {}),
      fails("current folder", {"-fo", "-", "file.89p"}, 10, "", {}),
      fails("name cut short", {"-fi", "abcdefgh", "file.89p"}, 70,
            "\nTask 01: On-calc filename set to 'abcdefgh'.", {{64, "abcdef"}}),
      fails("folder written, comment fails", {"-c", "x", "-fo", "main", "file.89p"}, 18,
            "\nTask 01: On-calc folder set to 'main'.\nTask 02: File comment set.",
            {{10, "main" + zeros(4)}}),
      fails("signature cut short", {"-ti", "89", "file.89p"}, 5, "", {{0, "**TI8"}}),
      // Renamed before the first write; the write fails, and the file gets its name back.
      fails("renamed back", {"-d", "a", "-ti", "v2", "file.89p"}, 16,
            "\nTask 01: Destination set to 'Archive'.", {}),
  };
  for (const Row& row : rows) check(row);
}

// Runs as an unprivileged user when the tests run as root, since root may write anything. The
// binary is run from a copy beside the scratch folder, in case the build tree is out of that
// user's reach (under /root, say). Returns false when the privilege drop is impossible here.
bool unprivileged(Invocation& inv, const ScratchDir& binary_dir) {
  if (::geteuid() != 0) return true;
  inv.run_as = 65534;  // nobody
  inv.binary = binary_dir / "ostrel";
  std::filesystem::copy_file(ostrel_binary(), inv.binary);
  std::filesystem::permissions(binary_dir.path(), std::filesystem::perms(0755));
  Invocation probe{{}, inv.cwd};  // no arguments: prints the usage and changes nothing
  probe.run_as = inv.run_as;
  probe.binary = inv.binary;
  return run_program(probe).status == 1;
}

// No write permission: the file, or the folder it would be renamed in.
TEST(Permission, ReadOnlyFileCannotBeOpened) {
  POSIX_ONLY("permission bits, dropping to another user");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "game.89p", original);
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(dir / "game.89p", std::filesystem::perms(0444));
  Invocation inv{{"-d", "a", "game.89p"}, dir.path()};
  ScratchDir binary_dir;
  if (!unprivileged(inv, binary_dir)) GTEST_SKIP() << "cannot drop privileges to test permissions";
  const Outcome r = run_program(inv);
  EXPECT_EQ(r.out, banner);
  EXPECT_EQ(r.err, cannot_open("game.89p"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_bytes(dir / "game.89p"), original);
}

TEST(Permission, ReadOnlyFolderFailsTheRename) {
  POSIX_ONLY("permission bits, dropping to another user");
  ScratchDir dir;
  const Bytes original = build_var_file({});
  write_bytes(dir / "game.89p", original);
  std::filesystem::permissions(dir / "game.89p", std::filesystem::perms(0666));
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
  Invocation inv{{"-d", "a", "-ti", "v2", "game.89p"}, dir.path()};
  ScratchDir binary_dir;
  if (!unprivileged(inv, binary_dir)) GTEST_SKIP() << "cannot drop privileges to test permissions";
  const Outcome r = run_program(inv);
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  EXPECT_EQ(r.out, banner);
  EXPECT_EQ(r.err, cannot_rename("game.89p", "game.v2p"));
  EXPECT_EQ(r.status, 1);
  // The rename comes before any write, so its failure leaves the file as it was.
  EXPECT_EQ(read_bytes(dir / "game.89p"), original);
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.89p"});
}

// In a sticky folder (mode 1777), another user's world-writable file cannot be renamed by this
// user: the rename that links the new name first (forced here, as where no atomic no-replace
// rename exists) refuses before the link, which neither name could then lose; one name stays.
TEST(Permission, StickyFolderOfAnotherUser) {
  POSIX_ONLY("permission bits, dropping to another user");
  ScratchDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms(01777));
  write_bytes(dir / "game.89p", build_var_file({}));
  std::filesystem::permissions(dir / "game.89p", std::filesystem::perms(0666));
  Invocation inv{{"-q", "-ti", "v2", "game.89p"}, dir.path()};
  ScratchDir binary_dir;
  if (::geteuid() != 0 || !unprivileged(inv, binary_dir)) GTEST_SKIP() << "cannot run as nobody";
  UNDER_STRACE(generic, inv, {"-e", "inject=renameat2:error=EINVAL"});
  EXPECT_EQ(run_program(*generic).err, cannot_rename("game.89p", "game.v2p"));
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.89p"});
  EXPECT_EQ(read_bytes(dir / "game.89p"), build_var_file({}));
}

// With both streams on one pipe, messages arrive in the order the run produced them.
TEST(MessageOrder, SharedPipe) {
  const Files empty = {{"file.89p", {}}};
  Row nothing = {"nothing to do", {"file.89p"}, empty, banner + nothing_to_do + "\n", "", 0, empty};
  Row write_fails = {"a write fails",
                     {"-fo", "abcdefghi", "-c", "x", "file.89p"},
                     empty,
                     banner + folder_truncated + "\nTask 01: On-calc folder set to 'abcdefgh'." +
                         "\nTask 02: File comment set." + cannot_write("file.89p"),
                     "",
                     1,
                     {{"file.89p", patched({}, {{10, "abcdefgh"}})}}};
  write_fails.file_size_limit = 18;
  Row bad_line = {"a command-line error", {"-d", "z", "file.89p"}, empty,
                  banner + invalid("<dest> for '-d <dest>'"), "", 1, empty};
  Row missing = {"a missing file", {"missing.89p"}, empty, banner + cannot_open("missing.89p"), "",
                 1, empty};
  for (Row row : {nothing, write_fails, bad_line, missing}) {
    row.merge_streams = true;
    check(row);
  }
}

}  // namespace
}  // namespace ostrel::testing
