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
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  FILE"
    "  COMMENT\n";

// Column widths of the human listing: each holds its longest usual value ("TI-92 Plus",
// "abcdefgh\abcdefgh", "0x21 assembly program", "RAM, locked", 64 MiB), so the lines of every
// file line up without waiting for the last one.
constexpr std::size_t family_width = 10;
constexpr std::size_t variable_width = 17;
constexpr std::size_t type_width = 21;
constexpr std::size_t destination_width = 11;
constexpr std::size_t size_width = 8;
constexpr std::size_t checksum_width = 8;

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

// True when `text` is well-formed UTF-8: no stray, overlong or surrogate sequences.
bool is_utf8(std::string_view text) {
  constexpr std::array<std::uint32_t, 4> least = {0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t more = 0;
    std::uint32_t code = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
      more = 3, code = lead & 0x07;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      more = 2, code = lead & 0x0F;
    } else if (lead >= 0xC0 && lead < 0xE0) {
      more = 1, code = lead & 0x1F;
    } else if (lead >= 0x80) {
      return false;
    }
    if (text.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

// A JSON string. With `bytes_as_code_points`, each byte stands for the code point of the same
// number (so the bytes can be recovered exactly); otherwise `text` is UTF-8 and kept as it is.
void append_json_string(std::string& out, std::string_view text, bool bytes_as_code_points) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      append_hex_byte(out, byte);
    } else if (byte >= 0x80 && bytes_as_code_points) {
      out += static_cast<char>(0xC0 | byte >> 6);
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out += c;
    }
  }
  out += '"';
}

void append_json_field(std::string& out, std::string_view key, std::string_view bytes) {
  out += '"';
  out += key;
  out += "\":";
  append_json_string(out, bytes, true);
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
    append_escaped(lines, path);
    lines += "  \"";
    append_escaped(lines, contents.comment, "\"\\");
    lines += "\"\n";
  }
  return lines;
}

std::string json_object(std::string_view path, const VarContents& contents) {
  std::string object = "{\"path\":";
  append_json_string(object, path, !is_utf8(path));
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
    object += ',';
    append_json_field(object, "type_name", type_name(variable.type));
    object += ',';
    append_json_number(object, "attribute", variable.attribute);
    object += ",\"destination\":";
    const std::string_view destination = destination_name(variable.attribute);
    if (destination.empty()) {
      object += "null";
    } else {
      append_json_string(object, destination, false);
    }
    object += ',';
    append_json_number(object, "size", variable.size);
    object += ",\"checksum_ok\":";
    object += variable.checksum_ok() ? "true}" : "false}";
  }
  object += "]}";
  return object;
}

ShowStatus list_files(const ShowRequest& request, Console& console) {
  // One buffer for every file: memory follows the largest file, not the number of files.
  std::string buffer;
  bool all_good = true;
  bool listed = false;
  if (request.json) console.out("[");
  for (std::size_t i = 0; i < request.args.size(); ++i) {
    if (!request.names_file(i)) continue;
    const char* path = request.args[i];
    const LoadError load_error = load_file(path, buffer);
    if (load_error != LoadError::none) {
      console.err(problem(path, load_error_text(load_error)));
      all_good = false;
      continue;
    }
    const VarContents contents = read_var_contents(buffer);
    if (contents.error != ContentError::none) {
      console.err(problem(path, content_error_text(contents.error)));
      all_good = false;
      continue;
    }
    if (request.json) {
      console.out(listed ? ",\n" : "\n");
      console.out(json_object(path, contents));
    } else {
      if (!listed) console.out(header_line);
      console.out(human_lines(path, contents));
    }
    listed = true;
    for (const VarEntry& variable : contents.variables) {
      if (variable.checksum_ok()) continue;
      console.err(checksum_problem(path, variable));
      all_good = false;
    }
    if (console.out_failed()) break;
  }
  if (request.json) console.out(listed ? "\n]\n" : "]\n");
  console.flush();
  if (console.out_failed()) {
    console.err("ostrel-show: " + std::string(show_msg::cannot_write) + "\n");
    return ShowStatus::some_failed;
  }
  return all_good ? ShowStatus::all_good : ShowStatus::some_failed;
}

}  // namespace ostrel
