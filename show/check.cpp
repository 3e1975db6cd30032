// ostrel-show --check: the problems of a file, each found from its bytes and its name alone.

#include "show/check.h"

#include <cstdint>
#include <optional>

#include "console/console.h"
#include "show/listing.h"
#include "show/messages.h"
#include "varfile/extension.h"
#include "varfile/layout.h"

namespace ostrel {

namespace {

// What a file's name says: the device prefix and type letter of its extension, upper and lower
// case alike ("89" and 'p' of game.89P), and whether ostrel takes the extension as it is.
struct NameSays {
  std::string prefix;
  char letter;
  bool known;
};

std::optional<NameSays> name_says(std::string_view path) {
  const std::optional<std::string_view> extension = extension_of(path);
  if (!extension || extension->size() != 3) return std::nullopt;
  NameSays says{std::string(extension->substr(0, 2)), (*extension)[2],
                is_known_extension(extension)};
  for (char& c : says.prefix) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  if (says.letter >= 'A' && says.letter <= 'Z') says.letter = static_cast<char>(says.letter + 32);
  if (says.prefix != "89" && says.prefix != "9x" && says.prefix != "v2" && says.prefix != "92") {
    return std::nullopt;
  }
  return says;
}

// The family a device prefix wants the signature to name: the TI-92 Plus and the Voyage 200
// share theirs.
bool fits(std::string_view prefix, std::string_view family) {
  if (prefix == "89") return family == "TI-89";
  if (prefix == "92") return family == "TI-92";
  return family == "TI-92 Plus" || family == "Voyage 200";
}

std::string_view family_named(std::string_view prefix) {
  return prefix == "89" ? "TI-89" : prefix == "92" ? "TI-92" : prefix == "9x" ? "TI-92 Plus"
                                                                             : "Voyage 200";
}

// `path` as the shell takes it, for a command that works on that very file.
std::string quoted(std::string_view path) {
  constexpr std::string_view plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/-+,:@";
  if (!path.empty() && path.find_first_not_of(plain) == std::string_view::npos) {
    return std::string(path);
  }
#if defined(_WIN32)
  // cmd: a name holds no double quote.
  std::string quoted(1, '"');
  quoted.append(path);
  return quoted += '"';
#else
  std::string shown;
  append_shown(shown, path, Charset::utf8);
  if (shown == path) {  // nothing a terminal would act on: single quotes, ' as '\''
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  // Bytes a terminal would act on or that are not UTF-8: bash's $'...', each as \xNN.
  std::string quoted = "$'";
  for (const char c : path) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '\'' || c == '\\') {
      append_byte_escape(quoted, byte);
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
#endif
}

std::string number(std::uint64_t value) { return std::to_string(value); }

std::string hex(std::uint8_t byte) {
  std::string digits;
  append_hex_byte(digits, byte);
  return digits;
}

// The signature against the name's device prefix; ostrel rewrites a variable file's signature
// for the devices it knows, keeping the name.
void check_signature(std::string_view path, const std::optional<NameSays>& says,
                     std::string_view family, std::string_view mark, bool variables,
                     std::vector<Problem>& problems) {
  if (!says || fits(says->prefix, family)) return;
  Problem problem{show_msg::code_signature,
                  format_message(show_msg::signature_vs_name,
                                 {family, mark, family_named(says->prefix)}),
                  {}};
  if (variables && says->prefix != "92") {
    problem.mend = std::string("ostrel ") + (says->known ? "" : "-n_extcheck ") + "-ti " +
                   says->prefix + " " + quoted(path);
  }
  problems.push_back(std::move(problem));
}

// Why the reader refused a file, where that is a problem of its own: its length, or its entries.
void check_refused(std::string_view bytes, ContentError error, std::vector<Problem>& problems) {
  if (error == ContentError::bad_offset) {
    problems.push_back({show_msg::code_entries, std::string(show_msg::data_misplaced), {}});
  } else if (error == ContentError::no_variables) {
    problems.push_back({show_msg::code_entries, std::string(show_msg::no_variables), {}});
  } else if (error == ContentError::truncated) {
    const std::size_t count =
        bytes.size() >= entry_table_offset ? little_endian(bytes, entry_count_offset, 2) : 0;
    const std::size_t length_at = entry_at(count);
    problems.push_back(
        {show_msg::code_length,
         bytes.size() < entry_table_offset || bytes.size() < length_at + 4
             ? std::string(show_msg::cut_in_header)
             : format_message(show_msg::cut_short, {number(little_endian(bytes, length_at, 4)),
                                                    number(bytes.size())}),
         {}});
  }
}

// The entries of a file read whole: attributes, and each folder entry's count of the variables
// after it in its folder.
void check_entries(std::string_view bytes, const VarContents& contents, Charset charset,
                   std::vector<Problem>& problems) {
  for (const VarEntry& variable : contents.variables) {
    if (!destination_name(variable.attribute).empty()) continue;
    std::string name;
    append_variable(name, variable, charset);
    problems.push_back({show_msg::code_entries,
                        format_message(show_msg::bad_attribute, {name, hex(variable.attribute)}),
                        {}});
  }
  const std::size_t count = little_endian(bytes, entry_count_offset, 2);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = entry_at(i);
    if (static_cast<std::uint8_t>(bytes[entry + entry_type]) != folder_entry_type) continue;
    std::size_t following = 0;
    while (i + 1 + following < count &&
           static_cast<std::uint8_t>(bytes[entry_at(i + 1 + following) + entry_type]) !=
               folder_entry_type) {
      ++following;
    }
    const std::size_t counted = little_endian(bytes, entry + entry_folder_count, 2);
    if (counted == following) continue;
    std::string name;
    const std::string_view field = bytes.substr(entry + entry_name, var_name_width);
    append_calculator_text(name, field.substr(0, field.find('\0')), charset);
    problems.push_back({show_msg::code_entries,
                        format_message(show_msg::folder_count,
                                       {name, number(counted), number(following)}),
                        {}});
  }
}

}  // namespace

std::vector<Problem> variable_file_problems(std::string_view path, std::string_view bytes,
                                            const VarContents& contents, Charset charset) {
  std::vector<Problem> problems;
  if (contents.error != ContentError::none) {
    check_refused(bytes, contents.error, problems);
    return problems;
  }
  for (const VarEntry& variable : contents.variables) {
    if (!variable.checksum_ok()) {
      problems.push_back({show_msg::code_checksum, checksum_text(variable, charset), {}});
    }
  }
  const std::size_t length =
      little_endian(bytes, entry_at(little_endian(bytes, entry_count_offset, 2)), 4);
  if (length < bytes.size()) {
    problems.push_back({show_msg::code_length,
                        format_message(show_msg::bytes_after_end,
                                       {number(length), number(bytes.size())}),
                        {}});
  }
  check_entries(bytes, contents, charset, problems);
  const std::optional<NameSays> says = name_says(path);
  check_signature(path, says, family_of(contents.signature), contents.signature, true, problems);
  if (says && contents.variables.size() == 1 && says->letter != 'g') {
    const VarEntry& variable = contents.variables.front();
    const std::optional<char> letter = type_letter(variable.type);
    if (letter && *letter != says->letter) {
      problems.push_back(
          {show_msg::code_type,
           format_message(show_msg::type_vs_name, {type_name(variable.type), hex(variable.type),
                                                   std::string(1, *letter),
                                                   std::string(1, says->letter)}),
           {}});
    }
  }
  return problems;
}

std::vector<Problem> flash_file_problems(std::string_view path, const FlashContents& contents) {
  std::vector<Problem> problems;
  if (contents.error == ContentError::truncated) {
    problems.push_back({show_msg::code_length, std::string(show_msg::truncated), {}});
    return problems;
  }
  if (contents.error != ContentError::none) return problems;
  const std::uint8_t device_type = contents.parts.front().device_type;
  check_signature(path, name_says(path), flash_family(device_type),
                  "device type 0x" + hex(device_type), false, problems);
  return problems;
}

std::string problem_lines(std::string_view path, const std::vector<Problem>& problems,
                          Charset charset) {
  std::string lines;
  for (const Problem& problem : problems) {
    append_shown(lines, path, charset, path_escapes);
    lines += ": ";
    lines += problem.code;
    lines += ": ";
    lines += problem.message;
    if (!problem.mend.empty()) lines += format_message(show_msg::mend, {problem.mend});
    lines += '\n';
  }
  return lines;
}

}  // namespace ostrel
