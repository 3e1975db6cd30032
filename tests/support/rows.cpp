#include "tests/support/rows.h"

#include <gtest/gtest.h>

namespace ostrel::testing {

namespace {

constexpr std::string_view link_mark = "symbolic link to ";
constexpr std::string_view hard_link_mark = "hard link to ";

// What `dir` holds: its regular files, folders and symbolic links, recursively.
Files files_in(const std::filesystem::path& dir) {
  Files files;
  for (auto it = std::filesystem::recursive_directory_iterator(dir);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().lexically_relative(dir).generic_string();
    const auto status = it->symlink_status();
    if (std::filesystem::is_symlink(status)) {
      files[name] = link_to(std::filesystem::read_symlink(it->path()).string());
    } else if (std::filesystem::is_directory(status)) {
      files[name + "/"] = {};
    } else {
      files[name] = read_bytes(it->path());
    }
  }
  return files;
}

// Makes `files` in `dir`, the folders on their paths included.
void make_files(const std::filesystem::path& dir, const Files& files) {
  for (const auto& [name, bytes] : files) {
    const std::filesystem::path path = dir / name;
    std::filesystem::create_directories(path.parent_path());
    const std::string text(bytes.begin(), bytes.end());
    if (name.ends_with('/')) {
      std::filesystem::create_directories(path);
    } else if (text.starts_with(link_mark)) {
      std::filesystem::create_symlink(text.substr(link_mark.size()), path);
    } else if (text.starts_with(hard_link_mark)) {
      std::filesystem::create_hard_link(dir / text.substr(hard_link_mark.size()), path);
    } else {
      write_bytes(path, bytes);
    }
  }
}

}  // namespace

Bytes link_to(const std::string& target) {
  const std::string text = std::string(link_mark) + target;
  return Bytes(text.begin(), text.end());
}

Bytes hard_link_to(const std::string& target) {
  const std::string text = std::string(hard_link_mark) + target;
  return Bytes(text.begin(), text.end());
}

Files file_at(const std::string& path, const Bytes& bytes) {
  Files files = {{path, bytes}};
  for (std::size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    files[path.substr(0, slash + 1)] = {};
  }
  return files;
}

void check(const Row& row) {
  if (posix_only_row(row.args, row.posix_only)) return;
  SCOPED_TRACE(row.title);
  ScratchDir dir;
  make_files(dir.path(), row.before);
  Invocation run{row.args, dir.path()};
  run.out = row.out_stream;
  run.err = row.err_stream;
  run.merge_streams = row.merge_streams;
  run.file_size_limit = row.file_size_limit;
  run.binary = row.binary;
  run.input = row.input;
  run.env = row.env;
  if (!row.strace.empty()) {
    const std::optional<Invocation> traced = under_strace(run, row.strace);
    if (!traced) {
      std::printf("skipped, strace cannot inject faults here: %s\n", row.title.c_str());
      return;
    }
    run = *traced;
  }
  const Outcome r = run_program(run);
  EXPECT_EQ(r.out, row.out);
  EXPECT_EQ(r.err, row.err);
  EXPECT_EQ(r.status, row.status);
  EXPECT_EQ(files_in(dir.path()), row.after);
}

}  // namespace ostrel::testing
