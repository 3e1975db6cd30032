#pragma once
// ostrel-show: lists what TI-68k variable files hold, as aligned lines or as JSON.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/console.h"
#include "varfile/file.h"
#include "varfile/var_reader.h"

namespace ostrel {

struct ShowRequest {
  bool json = false;     // --json
  bool help = false;     // --help
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

/// The message on standard error for a parse error; empty for none.
std::string show_parse_error_message(const ShowParse& parse);

void print_show_help(Console& console);
void print_show_version(Console& console);

// The listing for people (show_listing.cpp).

/// The heading line, before the first file's lines.
std::string_view listing_header();
/// One file's lines: a line per variable.
std::string human_lines(std::string_view path, const VarContents& contents);

// The listing for scripts (show_json.cpp).

/// One file's JSON object.
std::string json_object(std::string_view path, const VarContents& contents);
/// The JSON object of a file that cannot be listed, and why.
std::string json_error(std::string_view path, std::string_view error);

// Pieces both listings and the messages use (show.cpp).

/// The byte as two lower-case hexadecimal digits.
void append_hex_byte(std::string& out, std::uint8_t byte);
/// `bytes` for a terminal: printable ASCII as it is, every other byte and those in `also` as \xNN.
void append_escaped(std::string& out, std::string_view bytes, std::string_view also = {});
void append_number(std::string& out, std::uint32_t number);
/// folder\name, as the calculator writes it; a backslash within either shows escaped.
void append_variable(std::string& out, const VarEntry& variable);

/// Writes what is left of standard output; false, saying so on standard error, when it could not
/// all be written.
bool finish_output(Console& console);

enum class ShowStatus { all_good, some_failed };

/// Lists every file of the request; problems go to standard error, each naming its file.
ShowStatus list_files(const ShowRequest& request, Console& console);

}  // namespace ostrel
