#pragma once
// The whole edit of one file, worked out before anything is written: from what is asked and the
// file's first bytes, the tasks in their fixed order with the bytes each writes where, the file's
// new name, or why the file is refused. ostrel's run and ostrel-show --fix both make their edits
// from such a plan (edit.h); each says it in its own words.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "varfile/layout.h"

namespace ostrel {

/// Every setting of one edit, as ostrel's command line gives it. A text field is set as soon as
/// its option is given, even with an empty value. Each field refers to one whole argument string
/// (or another string that outlives the edit) and is never modified.
struct EditRequest {
  const char* input_path = nullptr;  // the file, as the file calls take it
  bool quiet = false;           // -q
  bool skip_ext_check = false;  // -n_extcheck
  std::optional<char> destination;  // -d: r, l or a
  std::optional<std::string_view> folder;    // -fo; exactly "-" means the current folder
  std::optional<std::string_view> var_name;  // -fi
  std::optional<std::string_view> comment;   // -c
  std::optional<std::string_view> target;    // -ti: "89", "9x" or "v2"
};

/// The attribute byte for a destination letter (r RAM, l locked, a archive), or none.
constexpr std::optional<std::uint8_t> destination_code(char letter) {
  switch (letter) {
    case 'r': return attribute_ram;
    case 'l': return attribute_locked;
    case 'a': return attribute_archived;
    default: return std::nullopt;
  }
}

/// Bytes to write at an offset: at most a comment's width.
struct PlannedWrite {
  std::uint32_t offset = 0;
  std::array<char, comment_width> bytes = {};
  std::size_t size = 0;

  std::string_view data() const { return {bytes.data(), size}; }
};

/// The tasks, in the order they are made.
enum class TaskKind { destination, current_folder, folder, var_name, comment, target };

/// True for a task that is reported before its writes are made; the others (the current folder,
/// the target) are reported once they are.
constexpr bool reported_first(TaskKind kind) {
  return kind != TaskKind::current_folder && kind != TaskKind::target;
}

/// One task and its writes, in the order they are made.
struct PlannedTask {
  TaskKind kind = TaskKind::destination;
  bool lacking = false;    // the typed value has a character the calculator lacks: written as UTF-8
  bool truncated = false;  // the value did not fit whole
  std::string_view value;  // the value as typed, cut where the field ends
  std::array<PlannedWrite, 2> writes = {};
  std::size_t write_count = 0;
};

/// Why a file is refused before anything is written.
enum class Refusal {
  none,
  other_kind,     // not a TI-68k variable file: no edit is made to it
  group_file,     // several variables: none of them has the destination, folder or name to set
  out_of_memory,  // no memory for the new file name
};

struct EditPlan {
  Refusal refusal = Refusal::none;
  std::array<PlannedTask, 5> tasks = {};
  std::size_t task_count = 0;
  std::string new_path;  // the file's new name, in its folder; empty when it keeps its name
  bool resigns = false;  // the target changes the signature's bytes
  // The file's other name in its folder, which it keeps as its only one: its own name is
  // removed. Empty when it keeps its names.
  std::string keep_only;
};

/// The edit `request` asks of the file whose first bytes (up to form_probe_size of them) are
/// `head`. `ext_checked`: the input's extension was checked and is a known one, so a new target
/// renames the file.
EditPlan plan_edit(const EditRequest& request, bool ext_checked, std::string_view head);

}  // namespace ostrel
