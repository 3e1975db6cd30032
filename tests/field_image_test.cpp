#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "varfile/edit_plan.h"
#include "console/console.h"
#include "tests/support/var_fixture.h"
#include "varfile/header.h"

namespace ostrel {
namespace {

template <std::size_t N>
std::string bytes_of(const FieldImage<N>& image) {
  return std::string(image.bytes.data(), N);
}

// Typed text: UTF-8 the calculator has every character of becomes its bytes, one per character;
// anything else stays as given, UTF-8 cut at a character, other bytes at the width.
TEST(FieldImage, BoundedCopyZeroFills) {
  struct Case {
    std::string value;
    std::string bytes;  // the 8-byte image
    std::size_t taken;
    bool truncated;
    bool lacking = false;
  };
  const Case cases[] = {
      {"", std::string(8, '\0'), 0, false},
      {"main", std::string("main\0\0\0\0", 8), 4, false},
      {"abcdefgh", "abcdefgh", 8, false},
      {"abcdefghij", "abcdefgh", 8, true},
      {"ABC\xE9\xFF", std::string("ABC\xE9\xFF\0\0\0", 8), 5, false},
      {"a b-c.d/e", "a b-c.d/", 8, true},
      {"caf\xC3\xA9", std::string("caf\xE9\0\0\0\0", 8), 5, false},
      {"p\xCF\x86x\xCC\x85", std::string("p\x91\x9A\0\0\0\0\0", 8), 6, false},
      {"abcdefg\xC3\xA9\xCF\x86", "abcdefg\xE9", 9, true},
      {"abcdefg\xE4\xB8\xAD", std::string("abcdefg\0", 8), 7, true, true},
      {"\xE4\xB8\xAD\xC3\xA9", std::string("\xE4\xB8\xAD\xC3\xA9\0\0\0", 8), 5, false, true},
      {"abcdefg\xC3\xA9\xFF", "abcdefg\xE9", 9, true},
      {"abcdefgh\xE4\xB8\xAD", "abcdefgh", 8, true},  // decided on what is kept
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xE4\xB8\xAD",
       std::string(8, '\xE9'), 16, true},
      {"y\xCC\x85\xE2\x86\x92", std::string("\x9B\x16\0\0\0\0\0\0", 8), 6, false},
  };
  for (const Case& c : cases) {
    const FolderField image = make_field_image<8>(c.value);
    EXPECT_EQ(bytes_of(image), c.bytes) << c.value;
    EXPECT_EQ(image.taken, c.taken) << c.value;
    EXPECT_EQ(image.truncated, c.truncated) << c.value;
    EXPECT_EQ(image.lacking, c.lacking) << c.value;
  }
}

TEST(FieldImage, CommentOfExactlyFortyBytesHasNoZero) {
  const std::string forty(40, 'c');
  const CommentField exact = make_field_image<40>(forty);
  EXPECT_EQ(bytes_of(exact), forty);
  EXPECT_FALSE(exact.truncated);
  const CommentField over = make_field_image<40>(forty + "!");
  EXPECT_EQ(bytes_of(over), forty);
  EXPECT_TRUE(over.truncated);
}

TEST(Signature, NinetyTwoPlusForEveryTargetButEightyNine) {
  EXPECT_EQ(signature_for("89"), "**TI89**");
  EXPECT_EQ(signature_for("9x"), "**TI92P*");
  EXPECT_EQ(signature_for("v2"), "**TI92P*");
}

TEST(FormatMessage, FillsPlaceholdersInOrder) {
  EXPECT_EQ(format_message("\nTask %02i: On-calc folder set to '%s'.", {"03", "main"}),
            "\nTask 03: On-calc folder set to 'main'.");
  EXPECT_EQ(format_message("a %s b %s", {"1", "2"}), "a 1 b 2");
  // A value holding a placeholder is not expanded again.
  EXPECT_EQ(format_message("'%s' %s", {"%s", "x"}), "'%s' x");
  // More placeholders than values, or a lone percent, stay as they are.
  EXPECT_EQ(format_message("%s %s", {"x"}), "x %s");
  EXPECT_EQ(format_message("100% %d", {"x"}), "100% %d");
  // Surplus values are ignored.
  EXPECT_EQ(format_message("\nTask %02i: File comment set.", {"01", "unused"}),
            "\nTask 01: File comment set.");
}

// The form is told from the head alone; what cannot be told apart is edited at the fixed offsets.
// (The black-box tests edit each form.)
TEST(FileForm, FromTheHead) {
  using testing::build_group_file;
  using testing::Bytes;
  const auto with = [](Bytes bytes, std::size_t at, std::string_view patch) {
    if (bytes.size() < at + patch.size()) bytes.resize(at + patch.size());
    std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
  };
  const Bytes behind_folder = build_group_file({{}});
  struct Case {
    std::string name;
    Bytes head;
    FileForm form;
  };
  const Case cases[] = {
      {"empty", {}, FileForm::fixed},
      {"zeros", Bytes(100, 0), FileForm::fixed},
      {"a signature alone", with({}, 0, "**TI89**"), FileForm::fixed},
      {"a TI-92 variable behind its folder entry", with(behind_folder, 0, "**TI92**"),
       FileForm::folder_entry_first},
      {"a folder entry alone", with(behind_folder, 58, std::string("\x01", 1)), FileForm::group},
      {"two folder entries", with(behind_folder, 88, "\x1f"), FileForm::group},
      {"cut before the second entry's type",
       Bytes(behind_folder.begin(), behind_folder.begin() + 88), FileForm::group},
      {"no entries, 0x1f where the first type would be",
       with(behind_folder, 58, std::string(2, '\0')), FileForm::fixed},
      {"an unknown signature", with(behind_folder, 0, "**TI89*_"), FileForm::fixed},
      {"a Flash application", with(Bytes(8), 0, "**TIFL**"), FileForm::other_kind},
  };
  for (const Case& c : cases) {
    const std::string head(c.head.begin(),
                           c.head.begin() + std::min(c.head.size(), form_probe_size));
    EXPECT_EQ(form_of(head), c.form) << c.name;
  }
}

// The whole edit, worked out from the command line and the file's head: each task's writes, in
// task order, the new name, or the refusal. (The black-box tests run each form too.)
TEST(Plan, WritesWhereTheFileHoldsTheVariable) {
  using testing::patched, testing::zeros;
  struct Case {
    std::string title;
    std::vector<const char*> args;
    testing::Bytes head;
    std::vector<std::pair<std::uint32_t, std::string>> writes = {};
    std::string new_path = {};
    Refusal refusal = Refusal::none;
  };
  const testing::Bytes behind = testing::build_group_file({{}});
  const Case cases[] = {
      {"the typical edit", {"-d", "a", "-fi", "prog", "-ti", "v2", "game.89p"},
       testing::build_var_file({}), {{73, "\x02"}, {64, "prog" + zeros(4)}, {0, "**TI92P*"}},
       "game.v2p"},
      {"a Voyage 200 variable behind its folder entry", {"-d", "a", "-fi", "prog", "f.v2p"},
       patched(behind, {{0, "**V200**"}}), {{89, "\x02"}, {80, "prog" + zeros(4)}}},
      {"lower case, behind its folder entry", {"-fo", "-", "f.89p"},
       patched(behind, {{0, "**ti89**"}}), {{10, zeros(1)}, {64, zeros(1)}}},
      {"a group: the name", {"-c", "c", "-fi", "x", "g.89g"}, testing::build_group_file({{}, {}}),
       {}, {}, Refusal::group_file},
      {"a TI-85 variable", {"-c", "c", "f.89p"}, patched(behind, {{0, "**TI85**"}}), {}, {},
       Refusal::other_kind},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"ostrel"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ParseResult parsed = parse_command_line(static_cast<int>(argv.size()), argv.data());
    const std::string head(c.head.begin(),
                           c.head.begin() + std::min(c.head.size(), form_probe_size));
    const EditPlan plan = plan_edit(parsed.request, !parsed.request.skip_ext_check, head);
    std::vector<std::pair<std::uint32_t, std::string>> writes;
    for (std::size_t t = 0; t < plan.task_count; ++t) {
      for (std::size_t w = 0; w < plan.tasks[t].write_count; ++w) {
        const PlannedWrite& write = plan.tasks[t].writes[w];
        writes.emplace_back(write.offset, std::string(write.data()));
      }
    }
    EXPECT_EQ(writes, c.writes) << c.title;
    EXPECT_EQ(plan.new_path, c.new_path) << c.title;
    EXPECT_EQ(plan.refusal, c.refusal) << c.title;
  }
}

TEST(TwoDigits, PadsToTwoDigits) {
  EXPECT_EQ(two_digits(1), "01");
  EXPECT_EQ(two_digits(9), "09");
  EXPECT_EQ(two_digits(10), "10");
  EXPECT_EQ(two_digits(123), "123");
}

}  // namespace
}  // namespace ostrel
