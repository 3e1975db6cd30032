#include "varfile/extension.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ostrel {
namespace {

TEST(KnownExtensions, EveryPrefixWithEveryTypeLetter) {
  const std::set<std::string_view> distinct(known_extensions.begin(), known_extensions.end());
  EXPECT_EQ(distinct.size(), 51u);
  for (std::string_view prefix : {"89", "9x", "v2"}) {
    for (char letter : std::string("agdcefiklmpstuxyz")) {
      EXPECT_TRUE(distinct.count(std::string(prefix) + letter)) << prefix << letter;
    }
  }
}

TEST(ExtensionOf, TextAfterTheLastDotOfTheWholePath) {
  const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
      {"prog.89p", "89p"},
      {"my.game.89p", "89p"},
      {"dir/prog.v2a", "v2a"},
      {"saves.old/prog", "old/prog"},
      {"prog.", ""},
      {"prog", std::nullopt},
      {"", std::nullopt},
      {".89p", "89p"},
      {"./prog.89p", "89p"},
  };
  for (const auto& [path, extension] : cases) EXPECT_EQ(extension_of(path), extension) << path;
}

TEST(IsKnownExtension, WholeExtensionByteForByte) {
  for (std::string_view path : {"prog.89p", "prog.9xz", "prog.v2a", "my.game.89p", "a/b.c/d.89g",
                                ".89p", "x.9xs"}) {
    EXPECT_TRUE(is_known_extension(extension_of(path))) << path;
  }
  for (std::string_view path : {"PROG.89P", "prog.89P", "prog.89b", "prog.92p", "prog.89",
                                "prog.89pp", "prog.", "prog", "saves.old/prog", "prog.89p ",
                                "prog.v2p/", "prog.89p.bak", "prog.9Xp"}) {
    EXPECT_FALSE(is_known_extension(extension_of(path))) << path;
  }
}

TEST(RetargetedPath, ReplacesTheDevicePrefixOnly) {
  const std::tuple<std::string_view, std::string_view, std::string> cases[] = {
      {"game.89p", "v2", "game.v2p"},
      {"game.89p", "9x", "game.9xp"},
      {"game.89p", "89", "game.89p"},
      {"game.v2z", "89", "game.89z"},
      {"sub/dir.89p/game.9xs", "v2", "sub/dir.89p/game.v2s"},
      {"my.game.89p", "v2", "my.game.v2p"},
      {".89p", "v2", ".v2p"},
      {"ab", "v2", "ab"},  // too short to hold a prefix: unchanged
  };
  for (const auto& [path, target, expected] : cases) {
    EXPECT_EQ(retargeted_path(path, target), expected) << path << " " << target;
  }
}

TEST(IsDeviceCode, ExactlyTheThreeCodes) {
  for (std::string_view code : {"89", "9x", "v2"}) EXPECT_TRUE(is_device_code(code));
  for (std::string_view code : {"", "8", "89p", "92", "V2", "9X", " 89", "v2\n"}) {
    EXPECT_FALSE(is_device_code(code)) << code;
  }
}

}  // namespace
}  // namespace ostrel
