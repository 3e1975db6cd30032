#include "app/edit_run.h"

#include <array>
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

// What ends a run early. Each step returns one; run_edits reports it.
enum class Failure {
  none,
  wrong_extension,
  cannot_open,
  cannot_write,
  cannot_rename,
  out_of_memory,  // no memory for the new file name; nothing is reported
};

// The state of one run.
struct Run {
  const EditRequest& request;
  Console& console;
  const char* path;  // the input path; zero-terminated, see EditRequest
  int task_count = 0;
  bool ext_checked = false;  // the extension was checked and is a known one
  std::string new_path = {};  // the name the target task gives the file; empty when it keeps its own

  // Writes the task line of the task just counted, unless quiet.
  void task_line(std::string_view pattern, std::string_view value = {}) {
    if (!request.quiet) console.out(pattern, {two_digits(task_count), value});
  }
};

// Refuses a file whose name does not end in a known extension, before anything is opened.
Failure extension_stage(Run& run) {
  if (run.request.skip_ext_check) {
    run.console.out(msg::extension_not_checked);
    return Failure::none;
  }
  if (!is_known_extension(extension_of(run.path))) return Failure::wrong_extension;
  run.ext_checked = true;
  return Failure::none;
}

// Decides the file's new name when the target task will rename it, and refuses a taken name
// before anything is written, so that a failed rename cannot leave a signature its name
// contradicts. The rename itself stays the last guard against a name taken meanwhile.
Failure rename_plan(Run& run) {
  if (!run.request.target || !run.ext_checked) return Failure::none;
  try {
    run.new_path = retargeted_path(run.path, *run.request.target);
  } catch (const std::bad_alloc&) {
    return Failure::out_of_memory;
  }
  if (run.new_path == run.path) run.new_path.clear();
  if (!run.new_path.empty() && !name_is_free(run.new_path.c_str())) return Failure::cannot_rename;
  return Failure::none;
}

// The tasks, in their fixed order. Each runs only when its field of the request is set.

Failure destination_task(Run& run, VarFile& file) {
  if (!run.request.destination) return Failure::none;
  const Destination& destination = *find_destination(*run.request.destination);
  ++run.task_count;
  run.task_line(destination.task_line);
  return write_attribute(file, destination.code) ? Failure::none : Failure::cannot_write;
}

// The folder, variable-name and comment tasks: bounded copy, warning, task line, write.
template <std::size_t N>
Failure text_task(Run& run, VarFile& file, std::string_view value, std::string_view warning,
                  std::string_view line, bool (*write)(VarFile&, const FieldImage<N>&)) {
  ++run.task_count;
  const FieldImage<N> image = make_field_image<N>(value);
  if (image.truncated) run.console.out(warning);
  run.task_line(line, image.text());
  return write(file, image) ? Failure::none : Failure::cannot_write;
}

Failure folder_task(Run& run, VarFile& file) {
  const auto& folder = run.request.folder;
  if (!folder) return Failure::none;
  if (*folder != "-") {
    return text_task(run, file, *folder, msg::folder_truncated, msg::task_folder,
                     write_folder_name);
  }
  ++run.task_count;
  if (!clear_folder_name(file)) return Failure::cannot_write;
  run.task_line(msg::task_current_folder);
  return Failure::none;
}

Failure var_name_task(Run& run, VarFile& file) {
  const auto& name = run.request.var_name;
  if (!name) return Failure::none;
  return text_task(run, file, *name, msg::var_name_truncated, msg::task_var_name, write_var_name);
}

Failure comment_task(Run& run, VarFile& file) {
  const auto& comment = run.request.comment;
  if (!comment) return Failure::none;
  return text_task(run, file, *comment, msg::comment_truncated, msg::task_comment, write_comment);
}

// Writes the signature and gives the file the new device prefix. The file stays open, and so
// locked, until after the rename.
Failure target_task(Run& run, VarFile& file) {
  const auto& target = run.request.target;
  if (!target) return Failure::none;
  ++run.task_count;
  if (!write_signature(file, *target)) return Failure::cannot_write;
  if (!run.ext_checked) {
    run.console.out(msg::extension_unmodified);
  } else if (!run.new_path.empty() && !rename_no_replace(run.path, run.new_path.c_str())) {
    return Failure::cannot_rename;
  }
  run.task_line(msg::task_target, *target);
  return Failure::none;
}

using Task = Failure (*)(Run&, VarFile&);
constexpr std::array<Task, 5> tasks = {destination_task, folder_task, var_name_task, comment_task,
                                       target_task};

// The whole run: banner, extension check, open, lock, name check, tasks, close.
Failure edit(Run& run) {
  if (!run.request.quiet) print_banner(run.console);
  if (const Failure failure = extension_stage(run); failure != Failure::none) return failure;
  std::optional<VarFile> file = VarFile::open(run.path);
  // Another run on the same file is waited for; if it renamed the file meanwhile, the path no
  // longer names what was opened, and this run writes nothing.
  if (!file || !file->lock(run.path)) return Failure::cannot_open;
  if (const Failure failure = rename_plan(run); failure != Failure::none) return failure;
  for (const Task task : tasks) {
    if (const Failure failure = task(run, *file); failure != Failure::none) return failure;
  }
  if (run.task_count == 0) run.console.err(msg::nothing_to_do);
  if (!file->close()) return Failure::cannot_write;
  if (!run.request.quiet) run.console.out("\n");
  return Failure::none;
}

void report(const Run& run, Failure failure) {
  switch (failure) {
    case Failure::wrong_extension: run.console.err(msg::wrong_extension); break;
    case Failure::cannot_open: run.console.err(format_message(msg::cannot_open, {run.path})); break;
    case Failure::cannot_write: run.console.err(format_message(msg::cannot_write, {run.path})); break;
    case Failure::cannot_rename:
      run.console.err(format_message(msg::cannot_rename, {run.path, run.new_path}));
      break;
    case Failure::none:
    case Failure::out_of_memory: break;
  }
}

}  // namespace

RunStatus run_edits(const EditRequest& request, Console& console) {
  Run run{request, console, request.input_path->data()};
  const Failure failure = edit(run);
  report(run, failure);
  switch (failure) {
    case Failure::none: return RunStatus::completed;
    case Failure::out_of_memory: return RunStatus::out_of_memory;
    default: return RunStatus::failed;
  }
}

}  // namespace ostrel
