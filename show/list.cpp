// ostrel-show's loop over the files: each is loaded, read as a variable or a Flash file, listed
// as lines or JSON, checked, and with --fix mended; problems are reported on standard error.

#include "show/list.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "show/check.h"
#include "show/listing.h"
#include "show/mend.h"
#include "show/messages.h"
#include "varfile/edit.h"
#include "varfile/extension.h"
#include "varfile/file.h"
#include "varfile/flash_reader.h"
#include "varfile/header.h"
#include "varfile/load.h"
#include "varfile/var_reader.h"

namespace ostrel {

namespace {

using Clock = std::chrono::steady_clock;

// "ostrel-show: <path>: <what>\n", the path shown as in the listing.
std::string problem(std::string_view path, std::string_view what, Charset charset) {
  std::string line = "ostrel-show: ";
  append_shown(line, path, charset, path_escapes());
  line += ": ";
  line += what;
  line += '\n';
  return line;
}

// Why a file cannot be listed, as written after its name.
std::string_view load_error_text(LoadError error) {
  switch (error) {
    case LoadError::none: break;
    case LoadError::not_found: return show_msg::no_such_file;
    case LoadError::access_denied: return show_msg::permission_denied;
    case LoadError::is_directory: return show_msg::is_directory;
    case LoadError::not_regular: return show_msg::not_regular;
    case LoadError::too_large: return show_msg::too_large;
    case LoadError::read_failed: return show_msg::read_failed;
    case LoadError::locked: return show_msg::locked;
    case LoadError::too_many_open: return show_msg::too_many_open;
  }
  return {};
}

std::string_view content_error_text(ContentError error) {
  switch (error) {
    case ContentError::none: break;
    case ContentError::not_variable_file: return show_msg::not_variable_file;
    case ContentError::not_ti68k_flash: return show_msg::not_ti68k_flash;
    case ContentError::truncated: return show_msg::truncated;
    case ContentError::bad_offset: return show_msg::bad_offset;
    case ContentError::no_variables: return show_msg::no_variables;
  }
  return {};
}

// A file as the listing reaches it: by its name in a folder the walk holds, or by the path given.
// Both end in a zero byte (an argument, a name of a folder's listing, a string of the walk's), so
// that the file calls can take them.
struct FileRef {
  Folder folder;          // the folder held, or the current one
  std::string_view name;  // in that folder: for a path given, the path itself
  std::string_view path;  // as shown: the whole path
  bool walked = false;
  bool listed_regular = false;  // the walk's listing of its folder found a regular file
};

// The same file's name with another extension, and its whole path.
struct OtherName {
  std::string name;
  std::string path;
};

// `new_path`, which differs from the file's path only in its extension, as a name in its folder.
OtherName other_name(const FileRef& file, std::string_view new_path) {
  std::string name(file.name);
  name.replace(name.size() - 3, 3, new_path.substr(new_path.size() - 3));
  return {std::move(name), std::string(new_path)};
}

FileRef file_of(const FileRef& file, const OtherName& other) {
  return {file.folder, other.name, other.path, file.walked};
}

// One file as read: a variable file or a Flash file, or why it is neither; with --check, its
// problems.
struct Examined {
  std::string_view failure;  // empty when it was read
  bool flash = false;
  LoadedNames names = {};
  VarContents variables = {};
  FlashContents parts = {};
  std::vector<Problem> problems = {};
};

// The file's JSON object: its listing, or why it has none; with --check, its problems too.
std::string json_of(const FileRef& file, const Examined& examined, bool check) {
  std::string object;
  if (examined.failure.empty()) {
    object = examined.flash ? json_object(file.path, examined.parts)
                            : json_object(file.path, examined.variables);
  } else {
    object = json_error(file.path, examined.failure);
  }
  if (check) add_json_problems(object, examined.problems);
  return object;
}

// The final name of a file's renames (every rename of a file has the same), or none.
const Mend* rename_of(const std::vector<Problem>& problems) {
  for (const Problem& problem : problems) {
    if (problem.mend.kind == Mend::Kind::rename) return &problem.mend;
  }
  return nullptr;
}

// True where the file's mends give up its name: renamed, or its other name kept.
bool frees_name(const std::vector<Problem>& problems) {
  return std::any_of(problems.begin(), problems.end(), [](const Problem& problem) {
    return problem.mend.kind == Mend::Kind::rename || problem.mend.kind == Mend::Kind::one_name;
  });
}

// Whether the name a file's rename needs is free by the time the rename is made.
enum class NameState { free, same_file, freed_first, taken, cycle };

}  // namespace

bool finish_output(Console& console) {
  console.flush();
  if (!console.out_failed()) return true;
  console.err("ostrel-show: " + std::string(show_msg::cannot_write) + "\n");
  return false;
}

namespace {

// One listing: what it is asked, where it goes, and what it has found so far.
struct Lister {
  const ShowRequest& request;
  Console& console;
  Charset charset;
  Shell shell;
  // One buffer for every file: memory follows the largest file, not the number of files.
  std::string buffer = {};
  std::string other_buffer = {};  // a file looked at meanwhile: one whose name a rename needs
  // Locks are waited for at most lock_wait_limit in all: a run over files someone keeps locked
  // ends in time, each file still locked then reported at once.
  Clock::time_point give_up = Clock::now() + lock_wait_limit;
  bool all_good = true;
  bool listed_any = false;  // something is on standard output: the header line, or a JSON object
  std::size_t checked = 0;
  std::size_t with_problems = 0;
  std::size_t fixed = 0;
  bool hinted = false;  // that -r walks a folder, said once
  // Files handled before their turn, as a rename that needs their name asks, and whether their
  // mends gave it up.
  std::map<std::string, bool, std::less<>> handled = {};

  bool file(const FileRef& file);
  void failed(std::string_view path, std::string_view failure);
  void walk(const char* top);

  Examined examine(const FileRef& file, std::string& bytes);
  std::optional<OtherName> decide_renames(const FileRef& file, Examined& examined);
  NameState name_state(const FileRef& file, const LoadedNames& names, const std::string& target,
                       std::vector<std::string>& chain);
  bool in_listing(const FileRef& file, std::string_view path) const;
  void add_commands(const FileRef& file, Examined& examined);
  void make_mends(const FileRef& file, Examined& examined);
  void report(const FileRef& file, const Examined& examined);
};

// Reads the file into `bytes`, and with --check finds its problems and their mends.
Examined Lister::examine(const FileRef& file, std::string& bytes) {
  Examined examined;
  const LoadError load_error = !file.walked && file.path == "-"
                                   ? load_standard_input(bytes, max_load_size)
                                   : load_file(file.folder, file.name.data(), bytes, give_up,
                                               examined.names, file.listed_regular);
  examined.failure = load_error_text(load_error);
  if (!examined.failure.empty()) return examined;
  examined.flash = is_flash(std::string_view(bytes).substr(0, signature_size));
  if (examined.flash) {
    examined.parts = read_flash_contents(bytes);
    examined.failure = content_error_text(examined.parts.error);
  } else {
    examined.variables = read_var_contents(bytes);
    examined.failure = content_error_text(examined.variables.error);
  }
  if (!request.check) return examined;
  if (examined.flash) {
    examined.problems = flash_file_problems(file.path, examined.parts);
    return examined;
  }
  // A file of two names in one folder, as an interrupted rename leaves it: the other one.
  std::string twin;
  const std::vector<VarEntry>& variables = examined.variables.variables;
  if (examined.names.links == 2 && examined.names.device != 0) {
    const std::uint8_t type = variables.size() == 1 ? variables.front().type : folder_entry_type;
    for (const std::string& candidate : twin_candidates(file.path, type)) {
      FileInfo info;
      if (look_at(file.folder, other_name(file, candidate).name.c_str(), false, info) ==
              LoadError::none &&
          info.kind == FileInfo::Kind::regular && info.device == examined.names.device &&
          info.inode == examined.names.inode) {
        twin = candidate;
        break;
      }
    }
  }
  // The messages of JSON are UTF-8, whatever the terminal.
  examined.problems =
      variable_file_problems(file.path, bytes, examined.variables, examined.names, twin,
                             request.json ? Charset::utf8 : charset);
  return examined;
}

// True where the file of `path`, in the folder of `file`, is one this run lists too: in a folder
// walked, any; otherwise one given by that very path.
bool Lister::in_listing(const FileRef& file, std::string_view path) const {
  if (file.walked) return true;
  for (std::size_t i = 0; i < request.args.size(); ++i) {
    if (request.names_file(i) && request.args[i] == path) return true;
  }
  return false;
}

// Whether `target`, the name the renames of `file` (whose names `names` tells) need, is free:
// nothing has it; or the file itself, which then keeps that name alone; or a file this run lists
// whose own mends give it up first. Otherwise it is taken by something that stays, or by a file
// in a cycle of renames (`chain`, the files whose renames wait for it).
NameState Lister::name_state(const FileRef& file, const LoadedNames& names,
                             const std::string& target, std::vector<std::string>& chain) {
  const OtherName other = other_name(file, target);
  FileInfo info;
  const LoadError error = look_at(file.folder, other.name.c_str(), false, info);
  if (error == LoadError::not_found) return NameState::free;
  if (error != LoadError::none) return NameState::taken;
  const bool regular = info.kind == FileInfo::Kind::regular;
  if (regular && info.device == names.device && info.inode == names.inode) {
    return NameState::same_file;
  }
  if (const auto done = handled.find(target); done != handled.end()) {
    return done->second ? NameState::freed_first : NameState::taken;
  }
  if (!regular || !in_listing(file, target)) return NameState::taken;
  if (std::find(chain.begin(), chain.end(), target) != chain.end()) return NameState::cycle;
  const Examined looked = examine(file_of(file, other), other_buffer);
  const Mend* next = rename_of(looked.problems);
  if (!frees_name(looked.problems)) return NameState::taken;
  if (next == nullptr) return NameState::freed_first;  // it keeps its other name
  chain.push_back(target);
  const NameState then = name_state(file_of(file, other), looked.names, next->path, chain);
  return then == NameState::taken || then == NameState::cycle ? then : NameState::freed_first;
}

// Decides whether the renames of the file can be made: where the name they need is taken by
// something that stays, or by a file of a cycle, there is none, and the problem says why. Returns
// the file that must give the name up first, where it has yet to.
std::optional<OtherName> Lister::decide_renames(const FileRef& file, Examined& examined) {
  const Mend* rename = rename_of(examined.problems);
  if (rename == nullptr) return std::nullopt;
  const std::string target = rename->path;
  std::vector<std::string> chain = {std::string(file.path)};
  const NameState state = name_state(file, examined.names, target, chain);
  std::string shown;
  append_shown(shown, target, request.json ? Charset::utf8 : charset, path_escapes());
  for (Problem& problem : examined.problems) {
    if (problem.mend.kind != Mend::Kind::rename) continue;
    if (state == NameState::same_file) {
      problem.mend.kind = Mend::Kind::one_name;
    } else if (state == NameState::taken || state == NameState::cycle) {
      problem.mend = {};
      problem.no_mend = format_message(
          state == NameState::taken ? show_msg::no_mend_taken : show_msg::no_mend_cycle, {shown});
    }
  }
  if (state != NameState::freed_first || handled.contains(target)) return std::nullopt;
  return other_name(file, target);
}

// The command each mend is, for the system's shell and in JSON.
void Lister::add_commands(const FileRef& file, Examined& examined) {
  for (Problem& problem : examined.problems) {
    if (problem.mend.kind == Mend::Kind::none) continue;
    problem.mend_args = mend_command(problem.mend, file.path);
    problem.command =
        command_line(problem.mend_args, shell, request.json ? Charset::utf8 : charset);
  }
}

// --fix: the file's mends, made as ostrel makes its edits: the file held and locked, read again
// and found unchanged, then one edit that rewrites its signature, renames it or keeps its other
// name, every signal held.
void Lister::make_mends(const FileRef& file, Examined& examined) {
  std::vector<Problem*> mended;
  EditRequest edit;
  edit.input_path = file.name.data();
  EditPlan plan;
  for (Problem& problem : examined.problems) {
    if (problem.mend.kind != Mend::Kind::none) mended.push_back(&problem);
    if (problem.mend.kind == Mend::Kind::sign) edit.target = problem.mend.device;
  }
  if (mended.empty()) return;
  std::string_view why;
  std::string renamed_to;
  // The file just loaded, that very one.
  FileInfo loaded;
  loaded.kind = examined.names.symbolic_link ? FileInfo::Kind::link : FileInfo::Kind::regular;
  loaded.device = examined.names.device;
  loaded.inode = examined.names.inode;
  std::optional<VarFile> held =
      open_for_edit(file.folder, file.name.data(), file.path.data(), &loaded, give_up);
  if (!held) {
    why = show_msg::fix_cannot_open;
  } else {
    // What was checked must be what is mended: the bytes read again under the lock.
    other_buffer.resize(buffer.size());
    const std::optional<std::size_t> got = held->read_at(0, other_buffer);
    plan = plan_edit(edit, false, std::string_view(buffer).substr(0, form_probe_size));
    for (const Problem* problem : mended) {
      if (problem->mend.kind == Mend::Kind::rename) {
        plan.new_path = other_name(file, problem->mend.path).name;
        append_shown(renamed_to, problem->mend.path, request.json ? Charset::utf8 : charset,
                     path_escapes());
      } else if (problem->mend.kind == Mend::Kind::one_name) {
        plan.keep_only = other_name(file, problem->mend.path).name;
      }
    }
    if (!got || *got != buffer.size() || other_buffer != buffer || plan.refusal != Refusal::none) {
      why = show_msg::fix_changed;
    }
  }
  std::string cannot_rename;
  if (why.empty()) {
    switch (apply_edit(*held, plan, file.name.data()).failure) {
      case EditFailure::none: break;
      case EditFailure::cannot_write: why = show_msg::fix_cannot_write; break;
      case EditFailure::cannot_rename:
        cannot_rename = format_message(show_msg::fix_cannot_rename, {renamed_to});
        why = !plan.new_path.empty()    ? std::string_view(cannot_rename)
              : plan.keep_only.empty() ? show_msg::fix_other_name
                                       : show_msg::fix_changed;
        break;
      default: why = show_msg::fix_changed; break;
    }
  }
  for (Problem* problem : mended) {
    problem->fixed = why.empty() ? Fixed::fixed : Fixed::not_fixed;
    problem->not_fixed = why;
  }
}

// The file's listing, problems or mends, as asked; its counts.
void Lister::report(const FileRef& file, const Examined& examined) {
  const std::vector<Problem>& problems = examined.problems;
  ++checked;
  const bool left = std::any_of(problems.begin(), problems.end(), [](const Problem& problem) {
    return problem.fixed != Fixed::fixed;
  });
  if (!problems.empty()) ++with_problems;
  if (!problems.empty() && !left) ++fixed;
  all_good = all_good && !left;
  if (request.json) {
    console.out(listed_any ? ",\n" : "\n");
    console.out(json_of(file, examined, request.check));
    listed_any = true;
  } else if (request.mends && !request.fix) {
    // One command per file: its ostrel-show --fix, where it has one, makes all its mends.
    const auto fixes = std::find_if(problems.begin(), problems.end(), [](const Problem& problem) {
      return !problem.command.empty() && problem.mend_args.front() == "ostrel-show";
    });
    std::vector<std::string_view> commands;
    for (const Problem& problem : problems) {
      if (fixes != problems.end() && &problem != &*fixes) continue;
      if (!problem.command.empty() &&
          std::find(commands.begin(), commands.end(), problem.command) == commands.end()) {
        commands.push_back(problem.command);
      }
    }
    for (const std::string_view command : commands) {
      console.out(command);
      console.out("\n");
    }
  } else if (request.check) {
    console.out(problem_lines(file.path, problems, charset, request.quiet));
  } else {
    if (!listed_any) console.out(listing_header());
    console.out(examined.flash ? human_lines(file.path, examined.parts, charset)
                               : human_lines(file.path, examined.variables, charset));
    listed_any = true;
  }
  if (request.check) return;
  for (const VarEntry& variable : examined.variables.variables) {
    if (variable.checksum_ok()) continue;
    console.err(problem(file.path, checksum_text(variable, charset), charset));
    all_good = false;
  }
}

// Lists the file, or reports why it cannot; with --check, its problems, and with --fix, mends
// them. Where a rename needs the name of a file listed later whose own mends give it up, that
// file is handled first, so that mends run in the order they are listed work. True where the
// file's mends give up its name.
bool Lister::file(const FileRef& file) {
  if (handled.contains(file.path)) return false;
  Examined examined = examine(file, buffer);
  // A file the reader refused for one of the problems --check knows has that problem.
  if (!examined.failure.empty() && examined.problems.empty()) {
    failed(file.path, examined.failure);
    return false;
  }
  if (const std::optional<OtherName> first = decide_renames(file, examined)) {
    handled[first->path] = this->file(file_of(file, *first));
    examined = examine(file, buffer);
    decide_renames(file, examined);
  }
  // With --fix, a line says what was made rather than the command that makes it.
  if (!request.fix || request.json) add_commands(file, examined);
  if (request.fix) make_mends(file, examined);
  report(file, examined);
  return frees_name(examined.problems) &&
         std::none_of(examined.problems.begin(), examined.problems.end(),
                      [](const Problem& problem) { return problem.fixed == Fixed::not_fixed; });
}

// A file, or a folder, that cannot be listed: its JSON object, and a line on standard error.
void Lister::failed(std::string_view path, std::string_view failure) {
  ++checked;
  ++with_problems;
  all_good = false;
  if (request.json) {
    console.out(listed_any ? ",\n" : "\n");
    Examined none;
    none.failure = failure;
    console.out(json_of({{}, path, path}, none, request.check));
    listed_any = true;
  }
  console.err(problem(path, failure, charset));
  if (failure == show_msg::is_directory && !request.recursive && !hinted) {
    console.err("ostrel-show: " + std::string(show_msg::walk_hint) + "\n");
    hinted = true;
  }
}

// A folder being walked: held open, its names in order, the next to look at, and the length of
// its path, separator included, in the walk's path.
struct Level {
  Folder folder;
  std::vector<FolderEntry> entries;
  std::size_t next = 0;
  std::size_t path_size = 0;
};

// With -r: lists every file named as TI-68k files are in the folder `top` and the folders in it,
// in name order. Each folder is opened from the one that holds it, never through a symbolic link,
// so that nothing swapped in meanwhile leads the walk elsewhere; a link to a folder is left alone.
// A folder that cannot be read is reported, and the walk goes on. A `top` that is no folder is
// listed as a file.
void Lister::walk(const char* top) {
  LoadError error = LoadError::none;
  std::vector<Level> levels;
  std::string path = top;
  const std::string_view separators = folder_separators();
  // Opens the folder `name` of `parent`, whose path `path` now is, and goes into it.
  const auto enter = [&](Folder parent, const char* name, bool follow) {
    const Folder folder = open_folder(parent, name, follow, error);
    if (folder.handle == -1) return false;
    std::optional<std::vector<FolderEntry>> entries = list_folder(folder, error);
    if (!entries) {
      close_folder(folder);
      return false;
    }
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    if (separators.find(path.back()) == std::string_view::npos) path += separators.back();
    levels.push_back({folder, std::move(*entries), 0, path.size()});
    return true;
  };
  if (!enter({}, top, true)) {
    if (error == LoadError::not_regular) {
      file({{}, top, top});
    } else {
      failed(top, load_error_text(error));
    }
    return;
  }
  while (!levels.empty() && !console.out_failed()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      close_folder(level.folder);
      levels.pop_back();
      continue;
    }
    const FolderEntry entry = level.entries[level.next++];
    const Folder folder = level.folder;
    path.resize(level.path_size);
    path += entry.name;
    FileInfo info;
    if (entry.kind == FileInfo::Kind::folder) {
      // A folder swapped for a link or a file since it was listed is left alone, as one is.
      if (!enter(folder, entry.name.c_str(), false) && error != LoadError::not_regular) {
        failed(path, load_error_text(error));
      }
    } else if (const auto extension = ti68k_extension(entry.name);
               !extension || !extension->type_letter) {
    } else if (entry.kind != FileInfo::Kind::link ||
               look_at(folder, entry.name.c_str(), true, info) != LoadError::none ||
               info.kind != FileInfo::Kind::folder) {
      file({folder, entry.name, path, true, entry.kind == FileInfo::Kind::regular});
    }
  }
  for (const Level& level : levels) close_folder(level.folder);
}

}  // namespace

ShowStatus list_files(const ShowRequest& request, Console& console, Charset charset, Shell shell) {
  Lister lister{request, console, charset, shell};
  if (request.json) console.out("[");
  for (std::size_t i = 0; i < request.args.size() && !console.out_failed(); ++i) {
    if (!request.names_file(i)) continue;
    const char* path = request.args[i];
    if (request.recursive && *path != '\0' && std::string_view(path) != "-") {
      lister.walk(path);
    } else {
      lister.file({{}, path, path});
    }
  }
  if (request.json) console.out(lister.listed_any ? "\n]\n" : "]\n");
  if (!finish_output(console)) return ShowStatus::some_failed;
  if (request.check && !request.quiet) {
    const std::string checked = std::to_string(lister.checked);
    const std::string with_problems = std::to_string(lister.with_problems);
    console.err("ostrel-show: " +
                (request.fix ? format_message(show_msg::fix_summary, {checked, with_problems,
                                                                      std::to_string(lister.fixed)})
                             : format_message(show_msg::summary, {checked, with_problems})) +
                "\n");
  }
  return lister.all_good ? ShowStatus::all_good : ShowStatus::some_failed;
}

}  // namespace ostrel
