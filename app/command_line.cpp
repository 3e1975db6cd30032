#include "app/command_line.h"

#include <array>

#include "app/messages.h"
#include "varfile/extension.h"

namespace ostrel {

namespace {

enum class Option { quiet, skip_ext_check, destination, folder, var_name, comment, target };

struct OptionSpec {
  std::string_view name;
  Option id;
  ParseError missing_value;  // none for an option without a value
};

// Compared against the whole argument, in this order; the first match decides.
constexpr std::array<OptionSpec, 7> option_table = {{
    {"-q", Option::quiet, ParseError::none},
    {"-n_extcheck", Option::skip_ext_check, ParseError::none},
    {"-d", Option::destination, ParseError::missing_dest},
    {"-fo", Option::folder, ParseError::missing_folder},
    {"-fi", Option::var_name, ParseError::missing_var_name},
    {"-c", Option::comment, ParseError::missing_comment},
    {"-ti", Option::target, ParseError::missing_target},
}};

struct InfoWord {
  std::string_view word;
  InfoRequest info;
};

// The words that, alone on the command line, ask for the usage text or the version.
constexpr InfoWord info_words[] = {
    {"--help", InfoRequest::usage},
    {"-h", InfoRequest::usage},
    {"--version", InfoRequest::version},
};

constexpr std::string_view version_text = "ostrel " OSTREL_VERSION "\n";

const OptionSpec* find_option(std::string_view argument) {
  for (const OptionSpec& option : option_table) {
    if (option.name == argument) return &option;
  }
  return nullptr;
}

// Stores `value` for `option`; returns the error when the value breaks the option's rule.
ParseError apply_value(EditRequest& request, Option option, std::string_view value) {
  switch (option) {
    case Option::destination:
      if (value.empty() || !destination_code(value[0])) return ParseError::invalid_dest;
      request.destination = value[0];
      break;
    case Option::folder: request.folder = value; break;
    case Option::var_name: request.var_name = value; break;
    case Option::comment: request.comment = value; break;
    case Option::target:
      if (!is_device_code(value)) return ParseError::invalid_target;
      request.target = value;
      break;
    case Option::quiet:
    case Option::skip_ext_check: break;
  }
  return ParseError::none;
}

}  // namespace

ParseResult parse_command_line(int argc, const char* const* argv) {
  ParseResult result;
  if (argc < 2) {
    result.error = ParseError::no_arguments;
    return result;
  }
  for (const InfoWord& info : info_words) {
    if (argc == 2 && argv[1] == info.word) {
      result.info = info.info;
      return result;
    }
  }
  if (argc == 2 && is_system_help_word(argv[1])) {
    result.info = InfoRequest::usage;
    return result;
  }
  EditRequest& request = result.request;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const OptionSpec* option = find_option(argument);
    if (option == nullptr) {
      if (request.input_path) {
        result.error = ParseError::extra_argument;
        result.offending = argument;
        return result;
      }
      request.input_path = argv[i];
    } else if (option->id == Option::quiet) {
      request.quiet = true;
    } else if (option->id == Option::skip_ext_check) {
      request.skip_ext_check = true;
    } else {
      if (i + 1 == argc) {
        result.error = option->missing_value;
        return result;
      }
      result.error = apply_value(request, option->id, argv[++i]);
      if (result.error != ParseError::none) return result;
    }
  }
  if (!request.input_path) result.error = ParseError::missing_input_path;
  return result;
}

std::string parse_error_message(const ParseResult& result) {
  switch (result.error) {
    case ParseError::missing_dest: return std::string(msg::missing_dest);
    case ParseError::invalid_dest: return std::string(msg::invalid_dest);
    case ParseError::missing_folder: return std::string(msg::missing_folder);
    case ParseError::missing_var_name: return std::string(msg::missing_var_name);
    case ParseError::missing_comment: return std::string(msg::missing_comment);
    case ParseError::missing_target: return std::string(msg::missing_target);
    case ParseError::invalid_target: return std::string(msg::invalid_target);
    case ParseError::extra_argument: return format_message(msg::extra_argument, {result.offending});
    case ParseError::missing_input_path: return std::string(msg::missing_infile);
    case ParseError::none:
    case ParseError::no_arguments: break;
  }
  return {};
}

void print_banner(Console& console) { console.out(msg::banner); }

void print_usage(Console& console) {
  print_banner(console);
  console.out(msg::usage);
}

void print_version(Console& console) { console.out(version_text); }

}  // namespace ostrel
