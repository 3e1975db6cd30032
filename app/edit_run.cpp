#include "app/edit_run.h"

#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/messages.h"
#include "varfile/extension.h"
#include "varfile/header.h"
#include "varfile/rename.h"
#include "varfile/var_file.h"

namespace ostrel {

namespace {

struct DestinationSpec {
  char letter;
  std::uint8_t code;
  std::string_view task_line;
};

constexpr std::array<DestinationSpec, 3> destinations = {{
    {'r', 0, msg::task_ram},
    {'l', 1, msg::task_ram_locked},
    {'a', 2, msg::task_archive},
}};

// The state of one pass over the tasks.
struct Run {
  const EditRequest& request;
  Console& console;
  const char* path;  // the input path; zero-terminated, see EditRequest
  int task_count = 0;
  bool ext_checked = false;  // the extension was checked and is a known one

  // Writes the task line of the task just counted, unless quiet.
  void task_line(std::string_view pattern, std::string_view value = {}) {
    if (!request.quiet) console.out(pattern, {two_digits(task_count), value});
  }

  RunStatus write_failed() {
    console.err(format_message(msg::cannot_write, {path}));
    return RunStatus::failed;
  }
};

// Each task returns false when a write to the file failed.

bool destination_task(Run& run, VarFile& file) {
  if (!run.request.destination) return true;
  ++run.task_count;
  for (const DestinationSpec& entry : destinations) {
    if (entry.letter != *run.request.destination) continue;
    run.task_line(entry.task_line);
    return write_attribute(file, entry.code);
  }
  return true;  // the parse admits no other letter
}

// The folder, variable-name and comment tasks: bounded copy, warning, task line, write.
template <std::size_t N>
bool text_task(Run& run, VarFile& file, std::string_view value, std::string_view warning,
               std::string_view line, bool (*write)(VarFile&, const FieldImage<N>&)) {
  ++run.task_count;
  const FieldImage<N> image = make_field_image<N>(value);
  if (image.truncated) run.console.out(warning);
  run.task_line(line, image.text());
  return write(file, image);
}

bool folder_task(Run& run, VarFile& file) {
  const auto& folder = run.request.folder;
  if (!folder) return true;
  if (*folder == "-") {
    ++run.task_count;
    if (!clear_folder_name(file)) return false;
    run.task_line(msg::task_current_folder);
    return true;
  }
  return text_task(run, file, *folder, msg::folder_truncated, msg::task_folder, write_folder_name);
}

bool var_name_task(Run& run, VarFile& file) {
  const auto& name = run.request.var_name;
  return !name ||
         text_task(run, file, *name, msg::var_name_truncated, msg::task_var_name, write_var_name);
}

bool comment_task(Run& run, VarFile& file) {
  const auto& comment = run.request.comment;
  return !comment ||
         text_task(run, file, *comment, msg::comment_truncated, msg::task_comment, write_comment);
}

// Refuses a file whose name does not end in a known extension, before anything is opened.
bool extension_stage(Run& run) {
  if (run.request.skip_ext_check) {
    run.console.out(msg::extension_not_checked);
    return true;
  }
  if (!is_known_extension(extension_of(*run.request.input_path))) {
    run.console.err(msg::wrong_extension);
    return false;
  }
  run.ext_checked = true;
  return true;
}

// Gives the closed file the device prefix of the new target. Never replaces another file.
RunStatus rename_stage(Run& run) {
  if (!run.ext_checked) {
    run.console.out(msg::extension_unmodified);
    return RunStatus::completed;
  }
  std::string new_path;
  try {
    new_path = retargeted_path(*run.request.input_path, *run.request.target);
  } catch (const std::bad_alloc&) {
    return RunStatus::out_of_memory;
  }
  if (new_path == *run.request.input_path) return RunStatus::completed;
  if (!rename_no_replace(run.path, new_path.c_str())) {
    run.console.err(format_message(msg::cannot_rename, {run.path, new_path}));
    return RunStatus::failed;
  }
  return RunStatus::completed;
}

RunStatus target_task(Run& run, VarFile& file) {
  const auto& target = run.request.target;
  if (!target) return RunStatus::completed;
  ++run.task_count;
  if (!write_signature(file, *target) || !file.close()) return run.write_failed();
  if (const RunStatus status = rename_stage(run); status != RunStatus::completed) return status;
  run.task_line(msg::task_target, *target);
  return RunStatus::completed;
}

}  // namespace

RunStatus run_edits(const EditRequest& request, Console& console) {
  if (!request.input_path) {
    print_usage(console);
    console.err(msg::missing_infile);
    return RunStatus::failed;
  }
  Run run{request, console, request.input_path->data()};
  if (!request.quiet) print_banner(console);
  if (!extension_stage(run)) return RunStatus::failed;

  std::optional<VarFile> file = VarFile::open(run.path);
  if (!file) {
    console.err(format_message(msg::cannot_open, {run.path}));
    return RunStatus::failed;
  }
  if (!destination_task(run, *file) || !folder_task(run, *file) || !var_name_task(run, *file) ||
      !comment_task(run, *file)) {
    return run.write_failed();
  }
  if (const RunStatus status = target_task(run, *file); status != RunStatus::completed) {
    return status;
  }
  if (run.task_count == 0) console.err(msg::nothing_to_do);
  if (!file->close()) return run.write_failed();
  if (!request.quiet) console.out("\n");
  return RunStatus::completed;
}

}  // namespace ostrel
