#include "show/command_line.h"

#include "show/messages.h"

namespace ostrel {

ShowParse parse_show_command_line(int argc, const char* const* argv) {
  ShowParse parse;
  ShowRequest& request = parse.request;
  request.args = {argv + 1, static_cast<std::size_t>(argc - 1)};
  request.options_end = request.args.size();
  bool any_file = false;
  for (std::size_t i = 0; i < request.args.size(); ++i) {
    const std::string_view arg = request.args[i];
    if (is_system_help_word(arg) && i < request.options_end) {
      request.help = true;
      continue;
    }
    if (request.names_file(i)) {
      any_file = true;
    } else if (arg == "--") {
      request.options_end = i;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--check") {
      request.check = true;
    } else if (arg == "--mends") {
      request.check = request.mends = true;
    } else if (arg == "--fix") {
      request.check = request.fix = true;
    } else if (arg == "-q" || arg == "--quiet") {
      request.quiet = true;
    } else if (arg == "-r" || arg == "--recursive") {
      request.recursive = true;
    } else if (arg == "--help" || arg == "-h") {
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

std::string show_parse_error_message(const ShowParse& parse, Charset charset) {
  std::string message = "ostrel-show: ";
  switch (parse.error) {
    case ShowParseError::none:
      return {};
    case ShowParseError::unknown_option:
      message += show_msg::unknown_option;
      append_shown(message, parse.offending, charset);
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

void print_show_help(Console& console) { console.out(show_msg::help); }

void print_show_version(Console& console) { console.out(show_msg::version); }

}  // namespace ostrel
