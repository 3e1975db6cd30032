#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/messages.h"
#include "varfile/layout.h"

namespace ostrel {

/// Every setting of one run, as read from the command line. A text field is set as soon as its
/// option is given, even with an empty value. Each field refers to one whole argument string;
/// the arguments outlive the run and are never modified.
struct EditRequest {
  const char* input_path = nullptr;  // the one positional argument, as the file calls take it;
                                     // set once the parse succeeded
  bool quiet = false;           // -q
  bool skip_ext_check = false;  // -n_extcheck
  std::optional<char> destination;  // -d: a letter of `destinations`
  std::optional<std::string_view> folder;    // -fo; exactly "-" means the current folder
  std::optional<std::string_view> var_name;  // -fi
  std::optional<std::string_view> comment;   // -c
  std::optional<std::string_view> target;    // -ti: "89", "9x" or "v2"
};

/// Where the variable goes on the receiving unit: the letter "-d" takes, the attribute byte
/// written for it, and the task line that names it.
struct Destination {
  char letter;
  std::uint8_t code;
  std::string_view task_line;
};

inline constexpr std::array<Destination, 3> destinations = {{
    {'r', attribute_ram, msg::task_ram},
    {'l', attribute_locked, msg::task_ram_locked},
    {'a', attribute_archived, msg::task_archive},
}};

/// The destination whose letter is `letter`, or null.
constexpr const Destination* find_destination(char letter) {
  for (const Destination& destination : destinations) {
    if (destination.letter == letter) return &destination;
  }
  return nullptr;
}

}  // namespace ostrel
