#pragma once
// ostrel-show's command line: the options, the files, and the help and version it may ask for.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "console/console.h"

namespace ostrel {

struct ShowRequest {
  bool json = false;     // --json
  bool check = false;    // --check, --mends or --fix
  bool mends = false;    // --mends: only the commands that mend
  bool fix = false;      // --fix: the mends made
  bool quiet = false;    // -q, --quiet: no line for a problem fixed, no count
  bool recursive = false;  // -r, --recursive: folders are walked
  bool help = false;     // --help, -h
  bool version = false;  // --version
  // The arguments after the program name, and the place of the first "--" among them (or their
  // count). The files are picked from them as they are listed, so that nothing is kept per file.
  std::span<const char* const> args;
  std::size_t options_end = 0;

  /// True when args[i] names a file: after the first "--" anything does; before it, whatever
  /// does not start with "-" (or is "-" alone, standard input).
  bool names_file(std::size_t i) const {
    return i > options_end || args[i][0] != '-' || args[i][1] == '\0';
  }
};

enum class ShowParseError { none, unknown_option, no_files };

struct ShowParse {
  ShowRequest request;
  ShowParseError error = ShowParseError::none;
  std::string_view offending;  // the option named by unknown_option
};

/// Reads the arguments (argv[0] is the program name). Options may come anywhere before "--";
/// --help and --version win over everything else on the line.
ShowParse parse_show_command_line(int argc, const char* const* argv);

/// The message on standard error for a parse error, the option shown for `charset`; empty for
/// none.
std::string show_parse_error_message(const ShowParse& parse, Charset charset);

void print_show_help(Console& console);
void print_show_version(Console& console);

}  // namespace ostrel
