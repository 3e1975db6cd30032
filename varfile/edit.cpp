#include "varfile/edit.h"

namespace ostrel {

namespace {

// Refuses, before anything is written, a new name that is taken, and a file whose other names
// would contradict its new signature, rename or not (one may be for another device): an input
// that is a symbolic link (renamed, the link would get the new name, and the file it leads to
// would keep its own), or a file with another hard link.
bool names_allow(const VarFile& file, const EditPlan& plan) {
  if (!plan.new_path.empty() && !file.name_is_free(plan.new_path.c_str())) return false;
  return !plan.resigns || (!file.name_is_link() && !file.had_other_names());
}

// Undoes the rename when the edit fails after it, so that a file never keeps a name that its
// signature was not given. Should the old name have been taken meanwhile, the file keeps the new
// one.
void take_name_back(VarFile& file, const char* path, Applied& applied) {
  if (applied.renamed && file.rename_to(path) == VarFile::Renamed::done) applied.renamed = false;
}

// The changes themselves, the signals held: rename, writes.
EditFailure change(VarFile& file, const EditPlan& plan, const char* path, Applied& applied) {
  if (!plan.new_path.empty()) {
    switch (file.rename_to(plan.new_path.c_str())) {
      case VarFile::Renamed::done: applied.renamed = true; break;
      case VarFile::Renamed::failed: return EditFailure::cannot_rename;
      // Another program put something else in the file's place since the lock's check: that is
      // what got the name; it has it back, and nothing is written.
      case VarFile::Renamed::not_this_file: return EditFailure::cannot_open;
    }
  }
  if (!plan.keep_only.empty() && !file.keep_only_name(plan.keep_only.c_str())) {
    return EditFailure::cannot_rename;
  }
  // A hard link made since the check, however late (the rename takes a while), is found before
  // the first write.
  if (plan.resigns && !plan.new_path.empty() && file.has_other_names()) {
    take_name_back(file, path, applied);
    return EditFailure::cannot_rename;
  }
  for (; applied.tasks_done < plan.task_count; ++applied.tasks_done) {
    const PlannedTask& task = plan.tasks[applied.tasks_done];
    for (std::size_t w = 0; w < task.write_count; ++w) {
      if (!file.write_at(task.writes[w].offset, task.writes[w].data())) {
        take_name_back(file, path, applied);
        return EditFailure::cannot_write;
      }
    }
  }
  return EditFailure::none;
}

}  // namespace

EditFailure failure_of(Refusal refusal) {
  switch (refusal) {
    case Refusal::none: break;
    case Refusal::other_kind: return EditFailure::other_kind;
    case Refusal::group_file: return EditFailure::group_file;
    case Refusal::out_of_memory: return EditFailure::out_of_memory;
  }
  return EditFailure::none;
}

std::optional<VarFile> open_for_edit(Folder folder, const char* name, const char* path,
                                     const FileInfo* known,
                                     std::chrono::steady_clock::time_point give_up) {
  std::optional<VarFile> file = VarFile::open_in(folder, name, path, known, give_up);
  // Another run on the same file is waited for; if it renamed the file meanwhile, the path no
  // longer names what was opened, and this one writes nothing.
  if (file && !file->lock()) file.reset();
  return file;
}

Applied apply_edit(VarFile& file, const EditPlan& plan, const char* path) {
  Applied applied;
  if (!names_allow(file, plan)) {
    applied.failure = EditFailure::cannot_rename;
    return applied;
  }
  {
    // From the first change to the close, a signal waits.
    std::optional<InterruptHold> hold;
    if (plan.task_count > 0 || !plan.new_path.empty() || !plan.keep_only.empty()) hold.emplace();
    applied.failure = change(file, plan, path, applied);
    if (!file.close() && applied.failure == EditFailure::none) {
      applied.failure = EditFailure::cannot_write;
    }
  }
  return applied;
}

}  // namespace ostrel
