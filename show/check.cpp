// ostrel-show --check: the problems of a file, each found from its bytes and its name alone.

#include "show/check.h"

#include <algorithm>
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

std::string number(std::uint64_t value) { return std::to_string(value); }

std::string hex(std::uint8_t byte) {
  std::string digits;
  append_hex_byte(digits, byte);
  return digits;
}

// The device prefix that names `family`, in the case of the name's type letter.
std::string prefix_for(std::string_view family, const Ti68kExtension& says) {
  std::string prefix = family == "TI-89"        ? "89"
                       : family == "TI-92"      ? "92"
                       : family == "Voyage 200" ? "v2"
                                                : "9x";
  const bool upper = says.extension[2] >= 'A' && says.extension[2] <= 'Z';
  for (char& c : prefix) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return prefix;
}

// `path` with its extension's device prefix `prefix`.
std::string with_prefix(std::string_view path, std::string_view prefix) {
  std::string renamed(path);
  renamed.replace(renamed.size() - 3, 2, prefix);
  return renamed;
}

// The signature against the name's device prefix (`names` null: a Flash file, which is never
// mended). The name is trusted: the signature is rewritten for it, as ostrel -ti does, but not
// through another name, which may be for another device. But machine code runs on the calculator
// it was built for: its file is renamed for the signature. And where the file has two names, as
// an interrupted rename leaves it, the one its signature fits is kept.
void check_signature(std::string_view path, const std::optional<Ti68kExtension>& says,
                     std::string_view family, std::string_view mark, const LoadedNames* names,
                     std::string_view twin, bool machine_code, std::vector<Problem>& problems) {
  if (!says || fits(says->prefix, family)) return;
  Problem problem{
      show_msg::code_signature,
      format_message(show_msg::signature_vs_name, {family, mark, family_named(says->prefix)})};
  const std::optional<Ti68kExtension> twin_says = ti68k_extension(twin);
  if (names == nullptr) {
    // A Flash file: its signature is TI's, and its name the only thing to mend by hand.
  } else if (twin_says && fits(twin_says->prefix, family)) {
    problem.mend = {Mend::Kind::one_name, {}, std::string(twin)};
  } else if (machine_code) {
    problem.mend = {Mend::Kind::rename, {}, with_prefix(path, prefix_for(family, *says))};
  } else if (says->prefix == "92") {
    // ostrel writes no TI-92 signature.
  } else if (names->symbolic_link) {
    problem.no_mend = show_msg::no_mend_link;
  } else if (names->links > 1) {
    problem.no_mend = show_msg::no_mend_hard_link;
  } else {
    const auto code = std::find(device_codes.begin(), device_codes.end(), says->prefix);
    problem.mend = {Mend::Kind::sign, code != device_codes.end() ? *code : device_codes.back()};
  }
  problems.push_back(std::move(problem));
}

// The type against the name's type letter, for a file of one variable: the file renamed to the
// letter of its type, in its folder, keeping the letter's case.
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
  problem.mend = {Mend::Kind::rename, {}, std::move(renamed)};
  problems.push_back(std::move(problem));
}

// A file is mended in one go: where its name goes, every problem of its name goes with it, and
// where it is renamed twice (its device prefix and its type letter), the name has both changes.
void join_mends(std::string_view path, std::vector<Problem>& problems) {
  const Mend* one_name = nullptr;
  std::string renamed(path);
  for (const Problem& problem : problems) {
    if (problem.mend.kind == Mend::Kind::one_name) one_name = &problem.mend;
    if (problem.mend.kind != Mend::Kind::rename) continue;
    for (std::size_t i = renamed.size() - 3; i < renamed.size(); ++i) {
      if (problem.mend.path[i] != path[i]) renamed[i] = problem.mend.path[i];
    }
  }
  for (Problem& problem : problems) {
    if (one_name != nullptr && problem.mend.kind == Mend::Kind::rename) {
      problem.mend = *one_name;
    } else if (problem.mend.kind == Mend::Kind::rename) {
      problem.mend.path = renamed;
    }
  }
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
                                            std::string_view twin, Charset charset) {
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
  const bool machine_code =
      contents.variables.size() == 1 && contents.variables.front().type == machine_code_type;
  check_signature(path, says, family_of(contents.signature), contents.signature, &names, twin,
                  machine_code, problems);
  check_type(path, says, contents, problems);
  join_mends(path, problems);
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
                  "device type 0x" + hex(device_type), nullptr, {}, false, problems);
  return problems;
}

std::vector<std::string> twin_candidates(std::string_view path, std::uint8_t type) {
  std::vector<std::string> names;
  const std::optional<Ti68kExtension> says = ti68k_extension(path);
  if (!says) return names;
  const std::optional<char> letter = type_letter(type);
  const bool upper = path.back() >= 'A' && path.back() <= 'Z';
  for (const std::string_view prefix : {"89", "9x", "9X", "v2", "V2", "92"}) {
    for (const char own : {path.back(), letter ? static_cast<char>(*letter - (upper ? 32 : 0))
                                               : path.back()}) {
      std::string name = with_prefix(path, prefix);
      name.back() = own;
      if (name != path && std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
      }
    }
  }
  return names;
}

std::string problem_lines(std::string_view path, const std::vector<Problem>& problems,
                          Charset charset, bool quiet) {
  std::string lines;
  for (const Problem& problem : problems) {
    if (quiet && problem.fixed == Fixed::fixed) continue;
    append_shown(lines, path, charset, path_escapes());
    lines += ": ";
    lines += problem.code;
    lines += ": ";
    lines += problem.message;
    if (problem.fixed == Fixed::fixed) {
      const bool renamed = problem.mend.kind != Mend::Kind::sign;
      std::string shown;
      if (renamed) append_shown(shown, problem.mend.path, charset, path_escapes());
      lines += renamed ? format_message(show_msg::fixed_renamed, {shown}) : show_msg::fixed;
    } else if (problem.fixed == Fixed::not_fixed) {
      lines += format_message(show_msg::not_fixed, {problem.not_fixed});
    } else if (!problem.command.empty()) {
      lines += format_message(show_msg::mend, {problem.command});
    } else if (!problem.no_mend.empty()) {
      lines += format_message(show_msg::no_mend, {problem.no_mend});
    }
    lines += '\n';
  }
  return lines;
}

}  // namespace ostrel
