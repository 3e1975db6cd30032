#include "app/edit_run.h"

#include <array>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/edit_plan.h"
#include "app/messages.h"
#include "varfile/extension.h"
#include "varfile/file.h"
#include "varfile/header.h"

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
  bool ext_checked = false;  // the extension was checked and is a known one
  EditPlan plan = {};
  bool renamed = false;  // the file has its new name
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

// Reads the head of the file, which tells where its variable's fields are, and works out the
// whole edit from it; the refusals come before anything is written.
Failure plan_stage(Run& run, VarFile& file) {
  std::array<char, form_probe_size> head;
  const std::optional<std::size_t> got = file.read_at(0, head);
  if (!got) return Failure::cannot_open;
  run.plan = plan_edit(run.request, run.ext_checked, {head.data(), *got});
  switch (run.plan.refusal) {
    case Refusal::none: return Failure::none;
    case Refusal::other_kind: return Failure::other_kind;
    case Refusal::group_file: return Failure::group_file;
    case Refusal::out_of_memory: return Failure::out_of_memory;
  }
  return Failure::none;
}

// Refuses, before anything is written, a new name that is taken, and a file whose other names
// would contradict its new signature, rename or not (one may be for another device): an input
// that is a symbolic link (renamed, the link would get the new name, and the file it leads to
// would keep its own), or a file with another hard link.
Failure name_check(const Run& run, const VarFile& file) {
  const bool rename_due = !run.plan.new_path.empty();
  if ((rename_due && !file.name_is_free(run.plan.new_path.c_str())) ||
      (run.plan.resigns && (file.name_is_link() || file.has_other_names()))) {
    return Failure::cannot_rename;
  }
  return Failure::none;
}

// Gives the file its new name before anything is written, so that a rename that fails leaves the
// file as it was. If another program put something else in the file's place since the lock's
// check, that is what got the name: it gets its name back, and this run writes nothing.
Failure rename_stage(Run& run, VarFile& file) {
  switch (file.rename_to(run.plan.new_path.c_str())) {
    case VarFile::Renamed::done: run.renamed = true; return Failure::none;
    case VarFile::Renamed::failed: return Failure::cannot_rename;
    case VarFile::Renamed::not_this_file: return Failure::cannot_open;
  }
  return Failure::none;
}

// Undoes the rename when the run fails after it, so that a file never keeps a name that its
// signature was not given. Should the old name have been taken meanwhile, the file keeps the new
// one, and the error names it so.
void take_name_back(Run& run, VarFile& file) {
  if (run.renamed && file.rename_to(run.path) == VarFile::Renamed::done) run.renamed = false;
}

// The tasks of the plan, in their order: each one's warning, task line and writes.
Failure apply_tasks(Run& run, VarFile& file) {
  for (std::size_t i = 0; i < run.plan.task_count; ++i) {
    const PlannedTask& task = run.plan.tasks[i];
    const std::string number = two_digits(static_cast<int>(i + 1));
    for (const std::string_view warning : task.warnings) run.console.out(warning);
    // The value as the console shows it: escaped where standard output is a terminal.
    const std::string value = run.console.out_text(task.value);
    if (task.line_first && !run.request.quiet) run.console.out(task.line, {number, value});
    for (std::size_t w = 0; w < task.write_count; ++w) {
      if (!file.write_at(task.writes[w].offset, task.writes[w].data())) return Failure::cannot_write;
    }
    if (!task.after_writes.empty()) run.console.out(task.after_writes);
    if (!task.line_first && !run.request.quiet) run.console.out(task.line, {number, value});
  }
  return Failure::none;
}

// The whole run: banner, extension check, open, lock, the plan, name check, rename, tasks,
// close.
Failure edit(Run& run) {
  if (!run.request.quiet) print_banner(run.console);
  if (const Failure failure = extension_stage(run); failure != Failure::none) return failure;
  // Declared before the file, so that the signals held from the first change on are let through
  // only once the file is closed, whichever way the run ends.
  std::optional<InterruptHold> hold;
  std::optional<VarFile> file = VarFile::open(run.path);
  // Another run on the same file is waited for; if it renamed the file meanwhile, the path no
  // longer names what was opened, and this run writes nothing.
  if (!file || !file->lock()) return Failure::cannot_open;
  if (const Failure failure = plan_stage(run, *file); failure != Failure::none) return failure;
  const bool rename_due = !run.plan.new_path.empty();
  if (const Failure failure = name_check(run, *file); failure != Failure::none) return failure;
  // From here to the close, a signal waits: the file is left with its old header and name, or
  // with the whole new header under the name that goes with it.
  if (run.plan.task_count > 0) hold.emplace();
  if (rename_due) {
    if (const Failure failure = rename_stage(run, *file); failure != Failure::none) return failure;
  }
  // A hard link made since the check, however late, is found before the first write.
  if (run.plan.resigns && file->has_other_names()) {
    take_name_back(run, *file);
    return Failure::cannot_rename;
  }
  if (const Failure failure = apply_tasks(run, *file); failure != Failure::none) {
    take_name_back(run, *file);
    return failure;
  }
  if (run.plan.task_count == 0) run.console.err(msg::nothing_to_do);
  if (!file->close()) return Failure::cannot_write;
  if (!run.request.quiet) run.console.out("\n");
  return Failure::none;
}

void report(const Run& run, Failure failure) {
  if (failure == Failure::out_of_memory) return;  // nothing is reported
  if (failure == Failure::wrong_extension) {
    run.console.err(msg::wrong_extension);
    return;
  }
  // The file as it is left: under its new name when the run fails after renaming it and the old
  // name could not be given back.
  const std::string path = run.console.err_text(run.renamed ? run.plan.new_path : run.path);
  switch (failure) {
    case Failure::cannot_open: run.console.err(format_message(msg::cannot_open, {path})); break;
    case Failure::other_kind: run.console.err(format_message(msg::other_kind, {path})); break;
    case Failure::group_file: run.console.err(format_message(msg::group_file, {path})); break;
    case Failure::cannot_write: run.console.err(format_message(msg::cannot_write, {path})); break;
    case Failure::cannot_rename:  // the new name, or the file's own where none is due
      run.console.err(format_message(
          msg::cannot_rename,
          {path, run.plan.new_path.empty() ? path : run.console.err_text(run.plan.new_path)}));
      break;
    case Failure::none:
    case Failure::wrong_extension:
    case Failure::out_of_memory: break;
  }
}

}  // namespace

RunStatus run_edits(const EditRequest& request, Console& console) {
  Run run{request, console, request.input_path};
  const Failure failure = edit(run);
  if (failure != Failure::none) report(run, failure);
  switch (failure) {
    case Failure::none: return RunStatus::completed;
    case Failure::out_of_memory: return RunStatus::out_of_memory;
    default: return RunStatus::failed;
  }
}

}  // namespace ostrel
