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

// `word` as one word of the system's shell, for a command that works on that very file: bare
// where it is plain; none where no quoting can carry it.
std::optional<std::string> quoted(std::string_view word) {
  constexpr std::string_view plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/-+,:@";
  if (!word.empty() && word.find_first_not_of(plain) == std::string_view::npos) {
    return std::string(word);
  }
#if defined(_WIN32)
  // cmd, and cmd's for /f: a name holds no double quote, and within them % ! & ^ stand for
  // themselves.
  std::string quoted = "\"";
  quoted.append(word) += '"';
  return quoted;
#else
  // Every POSIX shell (dash, bash, busybox sh, zsh): single quotes, where every byte but the quote
  // stands for itself, ' as '\''. A byte a line cannot carry, a terminal would act on, or that is
  // not UTF-8 is printed by printf in octal, "$(printf '\NNN')", so that the command is one line
  // of printable text; as a command substitution drops the line feeds it ends with, a piece never
  // ends in one, but takes the next byte along.
  std::string quoted;
  bool in_quotes = false;
  for (std::size_t i = 0; i < word.size();) {
    const Utf8Char c = utf8_char_at(word, i);
    if (c.length > 0 && !is_unseen(c.code)) {
      if (!in_quotes) quoted += '\'';
      in_quotes = true;
      quoted += c.code == '\'' ? "'\\''" : word.substr(i, c.length);
      i += c.length;
      continue;
    }
    if (in_quotes) quoted += '\'';
    in_quotes = false;
    quoted += "\"$(printf '";
    for (bool piece = true; piece; ++i) {
      const auto byte = static_cast<std::uint8_t>(word[i]);
      quoted += {'\\', static_cast<char>('0' + (byte >> 6)),
                 static_cast<char>('0' + (byte >> 3 & 7)), static_cast<char>('0' + (byte & 7))};
      const Utf8Char next = i + 1 < word.size() ? utf8_char_at(word, i + 1) : Utf8Char{0, 1};
      piece = i + 1 < word.size() && (byte == '\n' || next.length == 0 || is_unseen(next.code));
    }
    if (word[i - 1] == '\n') return std::nullopt;  // the name ends in a line feed
    quoted += "')\"";
  }
  if (in_quotes) quoted += '\'';
  return quoted;
#endif
}

// The mend: the program and its arguments, and the command line they make for the shell. None
// where a word cannot be quoted.
void add_mend(Problem& problem, std::vector<std::string> args) {
  std::string command;
  for (const std::string& arg : args) {
    const std::optional<std::string> word = quoted(arg);
    if (!word) return;
    command += command.empty() ? *word : " " + *word;
  }
  problem.mend = std::move(command);
  problem.mend_args = std::move(args);
}

std::string number(std::uint64_t value) { return std::to_string(value); }

std::string hex(std::uint8_t byte) {
  std::string digits;
  append_hex_byte(digits, byte);
  return digits;
}

// The signature against the name's device prefix; ostrel rewrites a variable file's signature
// for the devices it knows, keeping the name, but not through another name, which may be for
// another device (`names` null: a Flash file, which it does not edit).
void check_signature(std::string_view path, const std::optional<Ti68kExtension>& says,
                     std::string_view family, std::string_view mark, const LoadedNames* names,
                     std::vector<Problem>& problems) {
  if (!says || fits(says->prefix, family)) return;
  Problem problem{
      show_msg::code_signature,
      format_message(show_msg::signature_vs_name, {family, mark, family_named(says->prefix)})};
  if (names != nullptr && says->prefix != "92") {
    if (names->symbolic_link) {
      problem.no_mend = show_msg::no_mend_link;
    } else if (names->links > 1) {
      problem.no_mend = show_msg::no_mend_hard_link;
    } else {
      std::vector<std::string> args = {"ostrel", "-q", "-ti", says->prefix, std::string(path)};
      if (!is_known_extension(says->extension)) args.insert(args.begin() + 2, "-n_extcheck");
      add_mend(problem, std::move(args));
    }
  }
  problems.push_back(std::move(problem));
}

// The type against the name's type letter, for a file of one variable: the file renamed to the
// letter of its type, in its folder, never replacing a file.
void check_type(std::string_view path, const std::optional<Ti68kExtension>& says,
                const VarContents& contents, std::vector<Problem>& problems) {
  if (!says || contents.variables.size() != 1 || says->letter == 'g') return;
  const std::uint8_t type = contents.variables.front().type;
  const std::optional<char> letter = type_letter(type);
  if (!letter || *letter == says->letter) return;
  const std::string_view name = type_name(type);
  Problem problem{
      show_msg::code_type,
      format_message(
          show_msg::type_vs_name,
          {std::string_view("aeiou").find(name[0]) == std::string_view::npos ? "a" : "an", name,
           hex(type), std::string(1, *letter), std::string(1, says->letter)})};
  std::string renamed(path);
  renamed.back() =
      path.back() >= 'A' && path.back() <= 'Z' ? static_cast<char>(*letter - 32) : *letter;
#if defined(_WIN32)
  const std::size_t folder_end = renamed.find_last_of("/\\:") + 1;  // npos + 1: no folder
  add_mend(problem, {"ren", std::string(path), renamed.substr(folder_end)});
#else
  add_mend(problem, {"mv", "-n", "--", std::string(path), renamed});
#endif
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
                                            const VarContents& contents, const LoadedNames& names,
                                            Charset charset) {
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
  const std::optional<Ti68kExtension> says = ti68k_extension(path);
  check_signature(path, says, family_of(contents.signature), contents.signature, &names, problems);
  check_type(path, says, contents, problems);
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
  check_signature(path, ti68k_extension(path), flash_family(device_type),
                  "device type 0x" + hex(device_type), nullptr, problems);
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
    if (!problem.no_mend.empty()) lines += format_message(show_msg::no_mend, {problem.no_mend});
    lines += '\n';
  }
  return lines;
}

}  // namespace ostrel
