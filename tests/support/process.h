#pragma once
// Runs a program (the built ostrel or ostrel-show, or a tool such as strace) in a scratch folder and
// collects what it wrote.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/var_fixture.h"

namespace ostrel::testing {

/// The ostrel executable under test, and the ostrel-show beside it.
std::filesystem::path ostrel_binary();
std::filesystem::path ostrel_show_binary();

/// True when the executable under test is a Windows one, run through a wrapper such as wine.
bool testing_windows();

/// When it is: a Windows launcher that runs a program with its standard input a Windows pipe
/// ("pipe", filled from the launcher's own), or none at all ("none"); see std_handles.cpp.
std::filesystem::path windows_launcher();

/// Skips the rest of a test (visibly) when it rests on POSIX alone and Windows is under test.
#define POSIX_ONLY(why) \
  if (::ostrel::testing::testing_windows()) GTEST_SKIP() << "POSIX only: " << (why)

/// For a row of a table: true, saying so on standard output, when Windows is under test and the
/// row rests on POSIX alone, because `why` is given or because `args` hold bytes that are never
/// UTF-8 (0xFE, 0xFF), which a Windows command line cannot carry.
bool posix_only_row(const std::vector<std::string>& args, std::string_view why = {});

/// How a standard stream of the run is set up.
enum class Stream {
  captured,  // a pipe the test reads
  closed,    // no descriptor at all, as after >&-
  abandoned, // a pipe whose reader is gone, as in ostrel ... | true
  full,      // /dev/full, where every write fails
};

struct Invocation {
  std::vector<std::string> args;  // after the program name
  std::filesystem::path cwd = {};
  bool merge_streams = false;  // standard output and standard error into one pipe
  Stream out = Stream::captured;
  Stream err = Stream::captured;
  std::optional<unsigned long> file_size_limit = {};  // RLIMIT_FSIZE
  std::optional<uid_t> run_as = {};                 // user (and group of the same number) to drop to
  int timeout_ms = 20000;
  std::filesystem::path binary = ostrel_binary();  // the program to run
  std::optional<std::string> input = {};  // standard input, from a pipe; the test's own if none
  // Variables set for the run, NAME=value, over the test's own environment. Unless they say
  // otherwise, a program of this build runs in a UTF-8 locale (LC_ALL=C.UTF-8).
  std::vector<std::string> env = {};
};

struct Outcome {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out;  // standard output, or both streams when merged
  std::string err;
  bool timed_out = false;
};

/// Runs `invocation.binary` (ostrel and ostrel-show through the wrapper when there is one).
Outcome run_program(const Invocation& invocation);

/// Starts `invocation`, calls `act` once `delay` has passed (while the run waits, for a lock or a
/// strace delay), and returns what the run left.
Outcome run_while(const Invocation& invocation, std::chrono::milliseconds delay,
                  const std::function<void()>& act);

// The system calls a step may be made of, under any C library (glibc's and musl's, x86_64 names)
// and in this program's fallbacks, for strace to slow or fail that step whichever it is.
inline const std::string open_calls = "open,openat";
inline const std::string look_calls = "stat,lstat,fstat,newfstatat,statx";
inline const std::string rename_calls = "rename,renameat,renameat2,link,linkat";

/// `invocation` run under strace with `options` (fault injection, delays), or none where strace
/// is missing or cannot inject faults here.
std::optional<Invocation> under_strace(Invocation invocation, std::vector<std::string> options);

/// Declares `name`, `invocation` under strace with `options`; skips the test where that is not
/// possible.
#define UNDER_STRACE(name, invocation, ...)                                 \
  const auto name = ::ostrel::testing::under_strace(invocation, __VA_ARGS__); \
  if (!name) GTEST_SKIP() << "strace cannot inject faults here"

/// A fresh folder under the temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

Bytes read_bytes(const std::filesystem::path& path);
void write_bytes(const std::filesystem::path& path, const Bytes& bytes);
/// The names in `dir`, sorted.
std::vector<std::string> list_dir(const std::filesystem::path& dir);

}  // namespace ostrel::testing
