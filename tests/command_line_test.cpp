#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/texts.h"

namespace ostrel {
namespace {

ParseResult parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ostrel");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

using Text = std::optional<std::string_view>;

struct Accepted {
  std::vector<const char*> args;
  std::string_view input_path = {};
  bool quiet = false;
  bool skip_ext_check = false;
  std::optional<char> destination = {};
  Text folder = {}, var_name = {}, comment = {}, target = {};
};

TEST(ParseCommandLine, FillsTheRequest) {
  const std::vector<Accepted> cases = {
      {{"file.89p"}, "file.89p"},
      {{"-q", "file.89p"}, "file.89p", true},
      {{"file.89p", "-n_extcheck"}, "file.89p", false, true},
      {{"-d", "ram", "f"}, "f", false, false, 'r'},
      {{"-d", "lock", "f"}, "f", false, false, 'l'},
      {{"-d", "archive", "f"}, "f", false, false, 'a'},
      {{"-d", "r", "-d", "a", "f"}, "f", false, false, 'a'},
      {{"-fo", "-q", "f"}, "f", false, false, {}, "-q"},
      {{"-fo", "-", "f"}, "f", false, false, {}, "-"},
      {{"-fo", "", "-fi", "", "-c", "", "f"}, "f", false, false, {}, "", "", ""},
      {{"-fi", "one", "-fi", "two", "f"}, "f", false, false, {}, {}, "two"},
      {{"-c", "-ti", "f"}, "f", false, false, {}, {}, {}, "-ti"},
      {{"-ti", "89", "f"}, "f", false, false, {}, {}, {}, {}, "89"},
      {{"-ti", "9x", "-ti", "v2", "f"}, "f", false, false, {}, {}, {}, {}, "v2"},
      // Words that look like options but are none are the input path.
      {{"-x"}, "-x"},
      {{"-Q"}, "-Q"},
      {{"-q "}, "-q "},
      {{""}, ""},
      // Options before and after the path.
      {{"-d", "a", "f", "-fi", "prog", "-ti", "v2"}, "f", false, false, 'a', {}, "prog", {}, "v2"},
  };
  for (const Accepted& c : cases) {
    const ParseResult r = parse(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args.size()) + " args, first " + c.args[0]);
    ASSERT_EQ(r.error, ParseError::none);
    ASSERT_NE(r.request.input_path, nullptr);
    EXPECT_EQ(r.request.input_path, c.input_path);
    EXPECT_EQ(r.request.quiet, c.quiet);
    EXPECT_EQ(r.request.skip_ext_check, c.skip_ext_check);
    EXPECT_EQ(r.request.destination, c.destination);
    EXPECT_EQ(r.request.folder, c.folder);
    EXPECT_EQ(r.request.var_name, c.var_name);
    EXPECT_EQ(r.request.comment, c.comment);
    EXPECT_EQ(r.request.target, c.target);
  }
}

struct Refused {
  std::vector<const char*> args;
  ParseError error;
  std::string_view offending = {};
};

TEST(ParseCommandLine, StopsAtTheFirstError) {
  const std::vector<Refused> cases = {
      {{}, ParseError::no_arguments},
      {{"f", "-d"}, ParseError::missing_dest},
      {{"-d", "R", "f"}, ParseError::invalid_dest},
      {{"-d", "x", "f"}, ParseError::invalid_dest},
      {{"-d", "", "f"}, ParseError::invalid_dest},
      {{"-d", "-q", "f"}, ParseError::invalid_dest},
      {{"-d", "r", "-d", "z", "f"}, ParseError::invalid_dest},
      {{"-fo"}, ParseError::missing_folder},
      {{"f", "-fi"}, ParseError::missing_var_name},
      {{"f", "-c"}, ParseError::missing_comment},
      {{"-ti"}, ParseError::missing_target},
      {{"-ti", "89p", "f"}, ParseError::invalid_target},
      {{"-ti", "92", "f"}, ParseError::invalid_target},
      {{"-ti", "V2", "f"}, ParseError::invalid_target},
      {{"-ti", "", "f"}, ParseError::invalid_target},
      {{"-ti", "8", "f"}, ParseError::invalid_target},
      {{"a.89p", "b.89p"}, ParseError::extra_argument, "b.89p"},
      {{"-x", "a.89p"}, ParseError::extra_argument, "a.89p"},
      {{"", "x"}, ParseError::extra_argument, "x"},
      {{"a", "", "-d"}, ParseError::extra_argument, ""},
      // The path consumed as a value leaves the request without one.
      {{"-fo", "file.89p"}, ParseError::missing_input_path},
      {{"-q"}, ParseError::missing_input_path},
      // The first error wins: the bad value comes before the missing one.
      {{"-d", "z", "-c"}, ParseError::invalid_dest},
      {{"a", "b", "-d", "z"}, ParseError::extra_argument, "b"},
  };
  for (const Refused& c : cases) {
    const ParseResult r = parse(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args.size()) + " args");
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.offending, c.offending);
  }
}

TEST(ParseCommandLine, ValuesAreTheArgumentsThemselves) {
  const char* argv[] = {"ostrel", "-fi", "name", "path"};
  const ParseResult r = parse_command_line(4, argv);
  EXPECT_EQ(r.request.var_name->data(), argv[2]);
  EXPECT_EQ(r.request.input_path, argv[3]);
}

TEST(ParseErrorMessage, NamesTheOffendingArgument) {
  ParseResult r;
  r.error = ParseError::extra_argument;
  r.offending = "b.89p";
  EXPECT_EQ(parse_error_message(r), testing::extra_argument("b.89p"));
  r.offending = "100%s";
  EXPECT_EQ(parse_error_message(r), testing::extra_argument("100%s"));
}

}  // namespace
}  // namespace ostrel
