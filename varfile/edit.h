#pragma once
// One edit of one file, as both programs make it: the file opened by way of its folder and taken
// for this run alone, then, from a plan worked out from what it holds (edit_plan.h), its names
// checked and, every signal held, its rename and writes, and its close.

#include <chrono>
#include <cstddef>
#include <optional>

#include "varfile/edit_plan.h"
#include "varfile/file.h"

namespace ostrel {

/// Why an edit ended early.
enum class EditFailure {
  none,
  cannot_open,    // missing, not a regular file, locked past the limit, replaced or renamed
  other_kind,     // not a TI-68k variable file: no edit is made to it
  group_file,     // several variables: none of them has the destination, folder or name to set
  cannot_write,
  cannot_rename,  // the new name is taken, the rename failed, or another name forbids it
  out_of_memory,  // no memory for the new file name
};

/// The failure a plan's refusal is.
EditFailure failure_of(Refusal refusal);

/// Opens `name` in `folder`, whose whole path is `path`, for an edit (VarFile::open_in: from the
/// current folder, the path by way of its own folder; where `known`, that very file alone) and
/// takes it for this run alone (VarFile::lock), waiting at most until `give_up`; none when that
/// fails.
std::optional<VarFile> open_for_edit(Folder folder, const char* name, const char* path,
                                     const FileInfo* known,
                                     std::chrono::steady_clock::time_point give_up);

/// What apply_edit() did.
struct Applied {
  EditFailure failure = EditFailure::none;
  std::size_t tasks_done = 0;  // the tasks whose writes were all made
  bool renamed = false;        // the file has the plan's new name: also after a failure, when its
                               // old name could not be given back
};

/// Makes `plan` (no refusal) on `file`, opened as `path`, and closes it. Before anything is
/// written: a new name that is taken, and a new signature where another name of the file (a
/// symbolic link, a hard link) may be for another device, are refused. From the first change to
/// the close every signal waits, so that the file is left with its old header and name or with
/// the whole new header under the name that goes with it: the rename first, so that one that
/// fails leaves the file as it was, then the writes; should one fail, the file gets its name
/// back.
Applied apply_edit(VarFile& file, const EditPlan& plan, const char* path);

}  // namespace ostrel
