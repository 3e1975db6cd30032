#pragma once
// The whole edit of one run, worked out before anything is written: from the request and the
// file's first bytes, the tasks in their fixed order with their console text and the bytes each
// writes where, the file's new name, or why the file is refused. The run then applies it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/request.h"
#include "varfile/layout.h"

namespace ostrel {

/// Bytes to write at an offset: at most a comment's width.
struct PlannedWrite {
  std::uint32_t offset = 0;
  std::array<char, comment_width> bytes = {};
  std::size_t size = 0;

  std::string_view data() const { return {bytes.data(), size}; }
};

/// One task: its console text and its writes, in the order the run makes them.
struct PlannedTask {
  // Before anything else, even when quiet: a value the calculator lacks a character of, a value
  // cut short.
  std::array<std::string_view, 2> warnings = {};
  std::string_view line;     // the task line: its pattern, its "%02i" the task's number
  std::string_view value;    // and its "%s"
  bool line_first = true;    // the task line before the writes; otherwise after them
  std::array<PlannedWrite, 2> writes = {};
  std::size_t write_count = 0;
  std::string_view after_writes;  // a warning after the writes, before a later task line
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
  std::string new_path;  // the name that goes with the new target; empty when the name stays
  bool resigns = false;  // the target changes the signature's bytes
};

/// The edit `request` asks of the file whose first bytes (up to form_probe_size of them) are
/// `head`. `ext_checked`: the input's extension was checked and is a known one, so a new target
/// renames the file.
EditPlan plan_edit(const EditRequest& request, bool ext_checked, std::string_view head);

}  // namespace ostrel
