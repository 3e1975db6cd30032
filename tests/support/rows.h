#pragma once
// The black-box tables of both programs: one row type and one runner for all of them. A row is one
// run of ostrel (or ostrel-show) in a fresh scratch folder: its arguments, the files before, and
// all the run must leave: standard output, standard error, status and the files after.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {

/// What a folder holds, every name (paths below it, folders ending in "/") with its bytes: a
/// folder has none, a symbolic link those link_to() gives.
using Files = std::map<std::string, Bytes>;

/// What Files holds for a symbolic link to `target`, and (before a run) for a hard link to it,
/// which must sort after its target.
Bytes link_to(const std::string& target);
Bytes hard_link_to(const std::string& target);

/// A file of `path` holding `bytes`, with every folder on its path.
Files file_at(const std::string& path, const Bytes& bytes);

struct Row {
  std::string title;
  std::vector<std::string> args;  // after the program name
  Files before;
  std::string out;  // all of standard output; with merged streams, all of both
  std::string err;
  int status;
  Files after;
  // How the run is set up.
  Stream out_stream = Stream::captured;
  Stream err_stream = Stream::captured;
  bool merge_streams = false;
  std::optional<unsigned long> file_size_limit = {};
  std::string posix_only = {};  // why the row is skipped when Windows is under test
  std::filesystem::path binary = ostrel_binary();
  std::optional<std::string> input = {};  // standard input
  std::vector<std::string> env = {};      // NAME=value, set for the run
  std::vector<std::string> strace = {};   // run under strace with these options (skipped without)
};

/// Runs `row` and checks everything it names. A row is skipped on Windows when it says why, or
/// when its arguments hold bytes a Windows command line cannot carry; under strace, where strace
/// cannot inject faults.
void check(const Row& row);

}  // namespace ostrel::testing
