#pragma once
// The command line: from the argument list to one EditRequest, plus the banner and usage text.

#include <string_view>

#include "app/console.h"
#include "app/request.h"

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
};

struct ParseResult {
  EditRequest request;
  ParseError error = ParseError::none;
  std::string_view offending;  // the argument named by extra_argument
};

/// Reads the arguments (argv[0] is the program name) into a request; stops at the first error.
/// An input path is not demanded here.
ParseResult parse_command_line(int argc, const char* const* argv);

/// The message for a parse error other than none and no_arguments.
std::string parse_error_message(const ParseResult& result);

/// The two banner lines.
void print_banner(Console& console);
/// The banner followed by the usage text.
void print_usage(Console& console);

}  // namespace ostrel
