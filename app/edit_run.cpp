#include "app/edit_run.h"

#include <array>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/messages.h"
#include "varfile/edit.h"
#include "varfile/extension.h"
#include "varfile/file.h"
#include "varfile/header.h"

namespace ostrel {

namespace {

// What a task says: its task line, and the warnings of a text field.
struct TaskTexts {
  std::string_view line;
  std::string_view lacking = {};
  std::string_view truncated = {};
};

TaskTexts texts_of(TaskKind kind, char destination) {
  switch (kind) {
    case TaskKind::destination:
      return {destination == 'a'   ? msg::task_archive
              : destination == 'l' ? msg::task_ram_locked
                                   : msg::task_ram};
    case TaskKind::current_folder: return {msg::task_current_folder};
    case TaskKind::folder: return {msg::task_folder, msg::folder_lacking, msg::folder_truncated};
    case TaskKind::var_name:
      return {msg::task_var_name, msg::var_name_lacking, msg::var_name_truncated};
    case TaskKind::comment:
      return {msg::task_comment, msg::comment_lacking, msg::comment_truncated};
    case TaskKind::target: return {msg::task_target};
  }
  return {};
}

// The state of one run.
struct Run {
  const EditRequest& request;
  Console& console;
  const char* path;  // the input path
  bool ext_checked = false;  // the extension was checked and is a known one
  EditPlan plan = {};
  Applied applied = {};
};

// Refuses a file whose name does not end in a known extension, before anything is opened.
bool extension_stage(Run& run) {
  if (run.request.skip_ext_check) {
    run.console.out(msg::extension_not_checked);
    return true;
  }
  run.ext_checked = is_known_extension(extension_of(run.path));
  return run.ext_checked;
}

// Task `index` as the console shows it: its warnings, and its task line before or after its
// writes; only what comes before them, where its writes failed.
void report_task(Run& run, std::size_t index, bool written) {
  const PlannedTask& task = run.plan.tasks[index];
  const TaskTexts texts = texts_of(task.kind, run.request.destination.value_or('r'));
  if (task.lacking) run.console.out(texts.lacking);
  if (task.truncated) run.console.out(texts.truncated);
  const std::string number = two_digits(static_cast<int>(index + 1));
  // The value as the console shows it: escaped where standard output is a terminal.
  const std::string value = run.console.out_text(task.value);
  const bool first = reported_first(task.kind);
  if (first && !run.request.quiet) run.console.out(texts.line, {number, value});
  if (!written) return;
  if (task.kind == TaskKind::target && !run.ext_checked) {
    run.console.out(msg::extension_unmodified);
  }
  if (!first && !run.request.quiet) run.console.out(texts.line, {number, value});
}

// The edit itself: open and lock, the plan from the file's head, the edit, and what it did.
EditFailure edit(Run& run) {
  std::optional<VarFile> file = open_for_edit({}, run.path, run.path, nullptr,
                                             std::chrono::steady_clock::now() + lock_wait_limit);
  if (!file) return EditFailure::cannot_open;
  // The head of the file tells where its variable's fields are; the whole edit is worked out from
  // it, and the refusals come before anything is written.
  std::array<char, form_probe_size> head;
  const std::optional<std::size_t> got = file->read_at(0, head);
  if (!got) return EditFailure::cannot_open;
  run.plan = plan_edit(run.request, run.ext_checked, {head.data(), *got});
  if (run.plan.refusal != Refusal::none) return failure_of(run.plan.refusal);
  run.applied = apply_edit(*file, run.plan, run.path);
  for (std::size_t i = 0; i < run.applied.tasks_done; ++i) report_task(run, i, true);
  if (run.applied.failure == EditFailure::cannot_write &&
      run.applied.tasks_done < run.plan.task_count) {
    report_task(run, run.applied.tasks_done, false);
  }
  if (run.plan.task_count == 0) run.console.err(msg::nothing_to_do);
  if (run.applied.failure == EditFailure::none && !run.request.quiet) run.console.out("\n");
  return run.applied.failure;
}

void report(Run& run, EditFailure failure) {
  // The file as it is left: under its new name when the run fails after renaming it and the old
  // name could not be given back.
  const std::string path =
      run.console.err_text(run.applied.renamed ? run.plan.new_path : run.path);
  switch (failure) {
    case EditFailure::cannot_open: run.console.err(format_message(msg::cannot_open, {path})); break;
    case EditFailure::other_kind: run.console.err(format_message(msg::other_kind, {path})); break;
    case EditFailure::group_file: run.console.err(format_message(msg::group_file, {path})); break;
    case EditFailure::cannot_write:
      run.console.err(format_message(msg::cannot_write, {path}));
      break;
    case EditFailure::cannot_rename:  // the new name, or the file's own where none is due
      run.console.err(format_message(
          msg::cannot_rename,
          {path, run.plan.new_path.empty() ? path : run.console.err_text(run.plan.new_path)}));
      break;
    case EditFailure::none:
    case EditFailure::out_of_memory: break;  // nothing is reported
  }
}

}  // namespace

RunStatus run_edits(const EditRequest& request, Console& console) {
  Run run{request, console, request.input_path};
  if (!request.quiet) print_banner(console);
  if (!extension_stage(run)) {
    console.err(msg::wrong_extension);
    return RunStatus::failed;
  }
  const EditFailure failure = edit(run);
  if (failure != EditFailure::none) report(run, failure);
  switch (failure) {
    case EditFailure::none: return RunStatus::completed;
    case EditFailure::out_of_memory: return RunStatus::out_of_memory;
    default: return RunStatus::failed;
  }
}

}  // namespace ostrel
