#pragma once

#include <optional>
#include <string_view>

namespace ostrel {

/// Every setting of one run, as read from the command line. A text field is set as soon as its
/// option is given, even with an empty value. Each view spans one whole argument string, so its
/// data() is zero-terminated; the arguments outlive the run and are never modified.
struct EditRequest {
  std::optional<std::string_view> input_path;
  bool quiet = false;           // -q
  bool skip_ext_check = false;  // -n_extcheck
  std::optional<char> destination;  // -d: 'r', 'l' or 'a'
  std::optional<std::string_view> folder;    // -fo; exactly "-" means the current folder
  std::optional<std::string_view> var_name;  // -fi
  std::optional<std::string_view> comment;   // -c
  std::optional<std::string_view> target;    // -ti: "89", "9x" or "v2"
};

}  // namespace ostrel
