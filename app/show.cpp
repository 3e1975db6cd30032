// ostrel-show's command line, its messages and the loop over the files; the two listings are in
// show_listing.cpp (for people) and show_json.cpp (for scripts).

#include "app/show.h"

#include <charconv>
#include <cstdint>

#include "app/show_messages.h"

namespace ostrel {

namespace {

constexpr std::string_view help_text =
    "Usage: ostrel-show [--json] [--] FILE...\n"
    "Lists the variables that TI-68k variable files hold: calculator family, folder\n"
    "and name, type, destination, data size, checksum and comment.\n"
    "\n"
    "  --json     one JSON array, with an object per file read\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --         end of options: every argument after it is a file\n"
    "\n"
    "Exit status: 0 when every file was read and every checksum is right, 1 otherwise,\n"
    "2 for a bad command line.\n";
constexpr std::string_view version_text = "ostrel-show " OSTREL_VERSION "\n";
// "ostrel-show: <path>: <what>\n", the path escaped as in the listing.
std::string problem(std::string_view path, std::string_view what) {
  std::string line = "ostrel-show: ";
  append_escaped(line, path);
  line += ": ";
  line += what;
  line += '\n';
  return line;
}

std::string checksum_problem(std::string_view path, const VarEntry& variable) {
  std::string what;
  append_variable(what, variable);
  what += show_msg::wrong_checksum;
  append_hex_byte(what, static_cast<std::uint8_t>(variable.stored_checksum >> 8));
  append_hex_byte(what, static_cast<std::uint8_t>(variable.stored_checksum));
  what += ", computed 0x";
  append_hex_byte(what, static_cast<std::uint8_t>(variable.computed_checksum >> 8));
  append_hex_byte(what, static_cast<std::uint8_t>(variable.computed_checksum));
  what += ')';
  return problem(path, what);
}

// Why a file cannot be listed, as written after its name.
std::string_view load_error_text(LoadError error) {
  switch (error) {
    case LoadError::none: break;
    case LoadError::not_found: return show_msg::no_such_file;
    case LoadError::access_denied: return show_msg::permission_denied;
    case LoadError::is_directory: return show_msg::is_directory;
    case LoadError::not_regular: return show_msg::not_regular;
    case LoadError::too_large: return show_msg::too_large;
    case LoadError::read_failed: return show_msg::read_failed;
    case LoadError::locked: return show_msg::locked;
  }
  return {};
}

std::string_view content_error_text(ContentError error) {
  switch (error) {
    case ContentError::none: break;
    case ContentError::not_variable_file: return show_msg::not_variable_file;
    case ContentError::truncated: return show_msg::truncated;
    case ContentError::bad_offset: return show_msg::bad_offset;
    case ContentError::no_variables: return show_msg::no_variables;
  }
  return {};
}

}  // namespace

void append_hex_byte(std::string& out, std::uint8_t byte) {
  constexpr char hex_digits[] = "0123456789abcdef";
  out += hex_digits[byte >> 4];
  out += hex_digits[byte & 0x0F];
}

void append_escaped(std::string& out, std::string_view bytes, std::string_view also) {
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x20 || byte > 0x7E || also.find(c) != std::string_view::npos) {
      out += "\\x";
      append_hex_byte(out, byte);
    } else {
      out += c;
    }
  }
}

void append_number(std::string& out, std::uint32_t number) {
  char digits[10];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out.append(digits, end);
}

void append_variable(std::string& out, const VarEntry& variable) {
  append_escaped(out, variable.folder, "\\");
  out += '\\';
  append_escaped(out, variable.name, "\\");
}

ShowParse parse_show_command_line(int argc, const char* const* argv) {
  ShowParse parse;
  ShowRequest& request = parse.request;
  request.args = {argv + 1, static_cast<std::size_t>(argc - 1)};
  request.options_end = request.args.size();
  bool any_file = false;
  for (std::size_t i = 0; i < request.args.size(); ++i) {
    const std::string_view arg = request.args[i];
#if defined(_WIN32)
    if (arg == "/?" && i < request.options_end) {  // the Windows way to ask for help
      request.help = true;
      continue;
    }
#endif
    if (request.names_file(i)) {
      any_file = true;
    } else if (arg == "--") {
      request.options_end = i;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--help") {
      request.help = true;
    } else if (arg == "--version") {
      request.version = true;
    } else if (parse.error == ShowParseError::none) {
      parse.error = ShowParseError::unknown_option;
      parse.offending = arg;
    }
  }
  if (request.help || request.version) {
    parse.error = ShowParseError::none;
  } else if (parse.error == ShowParseError::none && !any_file) {
    parse.error = ShowParseError::no_files;
  }
  return parse;
}

std::string show_parse_error_message(const ShowParse& parse) {
  std::string message = "ostrel-show: ";
  switch (parse.error) {
    case ShowParseError::none:
      return {};
    case ShowParseError::unknown_option:
      message += show_msg::unknown_option;
      append_escaped(message, parse.offending);
      message += "'\n";
      break;
    case ShowParseError::no_files:
      message += show_msg::no_files;
      message += '\n';
      break;
  }
  message += show_msg::try_help;
  message += '\n';
  return message;
}

bool finish_output(Console& console) {
  console.flush();
  if (!console.out_failed()) return true;
  console.err("ostrel-show: " + std::string(show_msg::cannot_write) + "\n");
  return false;
}

void print_show_help(Console& console) { console.out(help_text); }

void print_show_version(Console& console) { console.out(version_text); }

ShowStatus list_files(const ShowRequest& request, Console& console) {
  // One buffer for every file: memory follows the largest file, not the number of files.
  std::string buffer;
  bool all_good = true;
  bool listed = false;  // something is on standard output: the header line, or a JSON object
  if (request.json) console.out("[");
  for (std::size_t i = 0; i < request.args.size(); ++i) {
    if (!request.names_file(i)) continue;
    const char* path = request.args[i];
    const LoadError load_error = std::string_view(path) == "-" ? load_standard_input(buffer)
                                                               : load_file(path, buffer);
    std::string_view failure = load_error_text(load_error);
    VarContents contents;
    if (failure.empty()) {
      contents = read_var_contents(buffer);
      failure = content_error_text(contents.error);
    }
    if (request.json) {
      console.out(listed ? ",\n" : "\n");
      console.out(failure.empty() ? json_object(path, contents) : json_error(path, failure));
      listed = true;
    }
    if (!failure.empty()) {
      console.err(problem(path, failure));
      all_good = false;
      continue;
    }
    if (!request.json) {
      if (!listed) console.out(listing_header());
      console.out(human_lines(path, contents));
      listed = true;
    }
    for (const VarEntry& variable : contents.variables) {
      if (variable.checksum_ok()) continue;
      console.err(checksum_problem(path, variable));
      all_good = false;
    }
    if (console.out_failed()) break;
  }
  if (request.json) console.out(listed ? "\n]\n" : "]\n");
  if (!finish_output(console)) return ShowStatus::some_failed;
  return all_good ? ShowStatus::all_good : ShowStatus::some_failed;
}

}  // namespace ostrel
