#include "app/edit_run.h"

#include <array>
#include <new>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/messages.h"
#include "varfile/extension.h"
#include "varfile/header.h"
#include "varfile/file.h"

namespace ostrel {

namespace {

// What ends a run early. Each step returns one; run_edits reports it.
enum class Failure {
  none,
  wrong_extension,
  cannot_open,
  other_kind,  // not a TI-68k variable file: no edit is made to it
  group_file,  // several variables: none of them has the destination, folder or name to set
  cannot_write,
  cannot_rename,
  out_of_memory,  // no memory for the new file name; nothing is reported
};

// The state of one run.
struct Run {
  const EditRequest& request;
  Console& console;
  const char* path;  // the input path
  int task_count = 0;
  bool ext_checked = false;  // the extension was checked and is a known one
  FileForm form = FileForm::fixed;  // where the variable's fields are, as the file's head tells
  std::string new_path = {};  // the name that goes with the new target; empty when it keeps its own
  bool renamed = false;       // the file has its new name

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

// Reads the head of the file to learn where its variable's fields are, and refuses, before
// anything is written, the edits that would land in the wrong place: any edit of a file of
// another kind, and the variable's own fields in a group, which holds several variables.
Failure form_stage(Run& run, VarFile& file) {
  std::array<char, form_probe_size> head;
  const std::optional<std::size_t> got = file.read_at(0, head);
  if (!got) return Failure::cannot_open;
  run.form = form_of({head.data(), *got});
  const EditRequest& request = run.request;
  const bool variable_fields = request.destination || request.folder || request.var_name;
  if (run.form == FileForm::other_kind && (variable_fields || request.comment || request.target)) {
    return Failure::other_kind;
  }
  if (run.form == FileForm::group && variable_fields) return Failure::group_file;
  return Failure::none;
}

// Decides the file's new name when the target task will rename it, and refuses, before anything
// is written, a name that is taken and an input that is a symbolic link (the link would get the
// new name, and the file it leads to would keep a name its new signature contradicts).
Failure rename_plan(Run& run) {
  if (!run.request.target || !run.ext_checked) return Failure::none;
  try {
    run.new_path = retargeted_path(run.path, *run.request.target);
  } catch (const std::bad_alloc&) {
    return Failure::out_of_memory;
  }
  if (run.new_path == run.path) run.new_path.clear();
  if (run.new_path.empty()) return Failure::none;
  if (!name_is_free(run.new_path.c_str()) || is_symbolic_link(run.path)) {
    return Failure::cannot_rename;
  }
  return Failure::none;
}

// Undoes the rename when the run fails after it, so that a file never keeps a name that its
// signature was not given.
void take_name_back(Run& run) {
  if (run.renamed && rename_no_replace(run.new_path.c_str(), run.path)) run.renamed = false;
}

// Gives the file its new name before anything is written, so that a rename that fails leaves the
// file as it was. If another program put a new file in the path's place since the lock's check,
// the file renamed is that one: it gets its name back, and this run writes nothing.
Failure rename_stage(Run& run, const VarFile& file) {
  if (!rename_no_replace(run.path, run.new_path.c_str())) return Failure::cannot_rename;
  run.renamed = true;
  if (file.is_at(run.new_path.c_str())) return Failure::none;
  take_name_back(run);
  return Failure::cannot_open;
}

// The tasks, in their fixed order. Each runs only when its field of the request is set.

Failure destination_task(Run& run, VarFile& file) {
  if (!run.request.destination) return Failure::none;
  const Destination& destination = *find_destination(*run.request.destination);
  ++run.task_count;
  run.task_line(destination.task_line);
  return write_attribute(file, run.form, destination.code) ? Failure::none : Failure::cannot_write;
}

// The folder, variable-name and comment tasks: bounded copy, warning, task line, write.
template <std::size_t N>
Failure text_task(Run& run, VarFile& file, std::string_view value, std::string_view warning,
                  std::string_view line,
                  bool (*write)(VarFile&, FileForm, const FieldImage<N>&)) {
  ++run.task_count;
  const FieldImage<N> image = make_field_image<N>(value);
  if (image.truncated) run.console.out(warning);
  run.task_line(line, image.text());
  return write(file, run.form, image) ? Failure::none : Failure::cannot_write;
}

Failure folder_task(Run& run, VarFile& file) {
  const auto& folder = run.request.folder;
  if (!folder) return Failure::none;
  if (*folder != "-") {
    return text_task(run, file, *folder, msg::folder_truncated, msg::task_folder,
                     write_folder_name);
  }
  ++run.task_count;
  if (!clear_folder_name(file, run.form)) return Failure::cannot_write;
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

// Writes the signature. The file already has the name that goes with it (rename_stage).
Failure target_task(Run& run, VarFile& file) {
  const auto& target = run.request.target;
  if (!target) return Failure::none;
  ++run.task_count;
  if (!write_signature(file, *target)) return Failure::cannot_write;
  if (!run.ext_checked) run.console.out(msg::extension_unmodified);
  run.task_line(msg::task_target, *target);
  return Failure::none;
}

using Task = Failure (*)(Run&, VarFile&);
constexpr std::array<Task, 5> tasks = {destination_task, folder_task, var_name_task, comment_task,
                                       target_task};

// The whole run: banner, extension check, open, lock, the file's form, name check, rename, tasks,
// close.
Failure edit(Run& run) {
  if (!run.request.quiet) print_banner(run.console);
  if (const Failure failure = extension_stage(run); failure != Failure::none) return failure;
  // Declared before the file, so that the interruptions held from the rename on are let through
  // only once the file is closed, whichever way the run ends.
  std::optional<InterruptHold> hold;
  std::optional<VarFile> file = VarFile::open(run.path);
  // Another run on the same file is waited for; if it renamed the file meanwhile, the path no
  // longer names what was opened, and this run writes nothing.
  if (!file || !file->lock(run.path)) return Failure::cannot_open;
  if (const Failure failure = form_stage(run, *file); failure != Failure::none) return failure;
  if (const Failure failure = rename_plan(run); failure != Failure::none) return failure;
  if (!run.new_path.empty()) {
    hold.emplace();
    if (const Failure failure = rename_stage(run, *file); failure != Failure::none) return failure;
  }
  for (const Task task : tasks) {
    const Failure failure = task(run, *file);
    if (failure == Failure::none) continue;
    take_name_back(run);
    return failure;
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
    case Failure::other_kind: run.console.err(format_message(msg::other_kind, {run.path})); break;
    case Failure::group_file: run.console.err(format_message(msg::group_file, {run.path})); break;
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
  Run run{request, console, request.input_path};
  const Failure failure = edit(run);
  report(run, failure);
  switch (failure) {
    case Failure::none: return RunStatus::completed;
    case Failure::out_of_memory: return RunStatus::out_of_memory;
    default: return RunStatus::failed;
  }
}

}  // namespace ostrel
