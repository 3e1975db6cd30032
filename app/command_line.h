#pragma once
// The command line: from the argument list to one EditRequest, plus the banner and usage text.

#include <string_view>

#include "console/console.h"
#include "varfile/edit_plan.h"

namespace ostrel {

enum class ParseError {
  none,
  no_arguments,      // only the program name: the usage text answers
  missing_dest,
  invalid_dest,
  missing_folder,
  missing_var_name,
  missing_comment,
  missing_target,
  invalid_target,
  extra_argument,    // a second positional argument
  missing_input_path,  // the arguments were read, but none was left for the input path
};

/// What a command line of exactly one of the words --help, -h, --version (and /? on Windows)
/// asks for instead of an edit. No variable file can have such a name: it has no known extension.
enum class InfoRequest { none, usage, version };

struct ParseResult {
  EditRequest request;
  ParseError error = ParseError::none;
  std::string_view offending;  // the argument named by extra_argument
  InfoRequest info = InfoRequest::none;
};

/// Reads the arguments (argv[0] is the program name) into a request; stops at the first error.
ParseResult parse_command_line(int argc, const char* const* argv);

/// The message on standard error for a parse error; empty for none and no_arguments.
std::string parse_error_message(const ParseResult& result);

/// The two banner lines.
void print_banner(Console& console);
/// The banner followed by the usage text.
void print_usage(Console& console);
/// The line "ostrel <version>".
void print_version(Console& console);

}  // namespace ostrel
