// The no-replace renames of POSIX systems, on real files.

#include "varfile/file_posix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include <fcntl.h>

#include "tests/support/process.h"

namespace ostrel::testing {
namespace {

using RenameFn = bool (*)(int, const char*, const char*);

// Every way of renaming this platform has, each checked the same way.
const std::vector<std::pair<const char*, RenameFn>> ways = {
    {"no-replace", &rename_no_replace},
    {"by link", &rename_by_link},
    {"after a look", &rename_if_free},
};

TEST(Rename, MovesTheFile) {
  for (const auto& [name, rename] : ways) {
    ScratchDir dir;
    write_bytes(dir / "a", {1, 2, 3});
    EXPECT_TRUE(rename(AT_FDCWD, (dir / "a").c_str(), (dir / "b").c_str())) << name;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"b"}) << name;
    EXPECT_EQ(read_bytes(dir / "b"), (Bytes{1, 2, 3})) << name;
  }
}

TEST(Rename, NeverReplaces) {
  for (const auto& [name, rename] : ways) {
    ScratchDir dir;
    write_bytes(dir / "a", {1});
    write_bytes(dir / "b", {2});
    std::filesystem::create_symlink("nowhere", dir / "dangling");
    std::filesystem::create_directory(dir / "folder");
    for (const char* existing : {"b", "dangling", "folder"}) {
      EXPECT_FALSE(rename(AT_FDCWD, (dir / "a").c_str(), (dir / existing).c_str())) << name << existing;
    }
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a", "b", "dangling", "folder"}));
    EXPECT_EQ(read_bytes(dir / "a"), Bytes{1}) << name;
    EXPECT_EQ(read_bytes(dir / "b"), Bytes{2}) << name;
  }
}

TEST(Rename, MissingSourceFails) {
  for (const auto& [name, rename] : ways) {
    ScratchDir dir;
    EXPECT_FALSE(rename(AT_FDCWD, (dir / "a").c_str(), (dir / "b").c_str())) << name;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << name;
  }
}

}  // namespace
}  // namespace ostrel::testing
