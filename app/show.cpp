#include "app/show.h"

#include <array>
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
constexpr std::string_view header_line =
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  "
    "COMMENT                                     FILE\n";

// Column widths of the human listing: each holds its longest usual value ("TI-92 Plus",
// "abcdefgh\abcdefgh", "0x21 assembly program", "RAM, locked", 64 MiB, a comment of 40
// printable bytes in quotes), so the lines of every file line up without waiting for the last
// one. The file's name, of any length, comes last.
constexpr std::size_t family_width = 10;
constexpr std::size_t variable_width = 17;
constexpr std::size_t type_width = 21;
constexpr std::size_t destination_width = 11;
constexpr std::size_t size_width = 8;
constexpr std::size_t checksum_width = 8;
constexpr std::size_t quoted_comment_width = 42;

constexpr char hex_digits[] = "0123456789abcdef";

void append_hex_byte(std::string& out, std::uint8_t byte) {
  out += hex_digits[byte >> 4];
  out += hex_digits[byte & 0x0F];
}

// `bytes` for a terminal: printable ASCII as it is, every other byte and those in `also` as \xNN.
void append_escaped(std::string& out, std::string_view bytes, std::string_view also = {}) {
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

void append_padded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  if (text.size() < width) out.append(width - text.size(), ' ');
  out += "  ";
}

void append_number(std::string& out, std::uint32_t number) {
  char digits[10];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out.append(digits, end);
}

// The length of the well-formed UTF-8 sequence at text[at] (1 for ASCII), or 0 when the byte
// there starts none: a stray, overlong, surrogate or cut sequence.
std::size_t utf8_length(std::string_view text, std::size_t at) {
  constexpr std::array<std::uint32_t, 4> least = {0, 0x80, 0x800, 0x10000};
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t more = 0;
  std::uint32_t code = lead;
  if (lead < 0x80) return 1;
  if (lead >= 0xF0 && lead < 0xF8) {
    more = 3, code = lead & 0x07;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    more = 2, code = lead & 0x0F;
  } else if (lead >= 0xC0 && lead < 0xE0) {
    more = 1, code = lead & 0x1F;
  } else {
    return 0;
  }
  if (text.size() - at <= more) return 0;
  for (std::size_t k = 1; k <= more; ++k) {
    const auto next = static_cast<std::uint8_t>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return more + 1;
}

// How a JSON string stands for bytes.
enum class JsonText {
  code_points,  // each byte is the code point of the same number: any bytes come back exactly
  utf8,  // UTF-8 as it is, and a byte that is not part of it \udcXX, which os.fsencode undoes
};

// A JSON string. Control characters (C0, DEL and C1) are escaped, so that none reaches a
// terminal raw.
void append_json_string(std::string& out, std::string_view text, JsonText as) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = as == JsonText::utf8 ? utf8_length(text, i) : 1;
    if (length == 0) {
      out += "\\udc";
      append_hex_byte(out, byte);
      ++i;
      continue;
    }
    const std::uint32_t code =
        length == 2 ? (byte & 0x1Fu) << 6 | (static_cast<std::uint8_t>(text[i + 1]) & 0x3Fu) : byte;
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
      out += "\\u00";
      append_hex_byte(out, static_cast<std::uint8_t>(code));
    } else if (as == JsonText::code_points && byte >= 0x80) {
      out += static_cast<char>(0xC0 | byte >> 6);
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  out += '"';
}

// "key":"...", the bytes of a header field standing for code points.
void append_json_field(std::string& out, std::string_view key, std::string_view bytes) {
  out += '"';
  out += key;
  out += "\":";
  append_json_string(out, bytes, JsonText::code_points);
}

void append_json_number(std::string& out, std::string_view key, std::uint32_t number) {
  out += '"';
  out += key;
  out += "\":";
  append_number(out, number);
}

// folder\name, as the calculator writes it; a backslash within either shows escaped.
void append_variable(std::string& out, const VarEntry& variable) {
  append_escaped(out, variable.folder, "\\");
  out += '\\';
  append_escaped(out, variable.name, "\\");
}

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

std::string human_lines(std::string_view path, const VarContents& contents) {
  std::string lines;
  std::string field;
  for (const VarEntry& variable : contents.variables) {
    append_padded(lines, family_of(contents.signature), family_width);
    field.clear();
    append_variable(field, variable);
    append_padded(lines, field, variable_width);
    field = "0x";
    append_hex_byte(field, variable.type);
    field += ' ';
    field += type_name(variable.type);
    append_padded(lines, field, type_width);
    field = destination_name(variable.attribute);
    if (field.empty()) {
      field = "attr 0x";
      append_hex_byte(field, variable.attribute);
    }
    append_padded(lines, field, destination_width);
    field.clear();
    append_number(field, variable.size);
    if (field.size() < size_width) lines.append(size_width - field.size(), ' ');
    lines += field;
    lines += "  ";
    append_padded(lines, variable.checksum_ok() ? "ok" : "wrong", checksum_width);
    field = '"';
    append_escaped(field, contents.comment, "\"\\");
    field += '"';
    append_padded(lines, field, quoted_comment_width);
    append_escaped(lines, path, "\\");
    lines += '\n';
  }
  return lines;
}

std::string json_object(std::string_view path, const VarContents& contents) {
  std::string object = "{\"path\":";
  append_json_string(object, path, JsonText::utf8);
  object += ",\"family\":";
  append_json_string(object, family_of(contents.signature), JsonText::utf8);
  object += ',';
  append_json_field(object, "signature", contents.signature);
  object += ',';
  append_json_field(object, "folder", contents.folder);
  object += ',';
  append_json_field(object, "comment", contents.comment);
  object += ",\"variables\":[";
  bool first = true;
  for (const VarEntry& variable : contents.variables) {
    object += first ? "{" : ",{";
    first = false;
    append_json_field(object, "folder", variable.folder);
    object += ',';
    append_json_field(object, "name", variable.name);
    object += ',';
    append_json_number(object, "type", variable.type);
    object += ",\"type_name\":";
    append_json_string(object, type_name(variable.type), JsonText::utf8);
    object += ',';
    append_json_number(object, "attribute", variable.attribute);
    object += ",\"destination\":";
    const std::string_view destination = destination_name(variable.attribute);
    if (destination.empty()) {
      object += "null";
    } else {
      append_json_string(object, destination, JsonText::utf8);
    }
    object += ',';
    append_json_number(object, "size", variable.size);
    object += ",\"checksum_ok\":";
    object += variable.checksum_ok() ? "true}" : "false}";
  }
  object += "]}";
  return object;
}

std::string json_error(std::string_view path, std::string_view error) {
  std::string object = "{\"path\":";
  append_json_string(object, path, JsonText::utf8);
  object += ",\"error\":";
  append_json_string(object, error, JsonText::utf8);
  object += '}';
  return object;
}

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
      if (!listed) console.out(header_line);
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
