// ostrel-show's loop over the files: each is loaded, read as a variable or a Flash file, listed
// as lines or JSON, and its problems reported on standard error.

#include "show/list.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "show/check.h"
#include "show/listing.h"
#include "show/messages.h"
#include "varfile/extension.h"
#include "varfile/file.h"
#include "varfile/flash_reader.h"
#include "varfile/var_reader.h"

namespace ostrel {

namespace {

// "ostrel-show: <path>: <what>\n", the path shown as in the listing.
std::string problem(std::string_view path, std::string_view what, Charset charset) {
  std::string line = "ostrel-show: ";
  append_shown(line, path, charset, path_escapes);
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

// One file as read: a variable file or a Flash file, or why it is neither.
struct Listed {
  std::string_view failure;  // empty when it was read
  bool loaded = false;       // its bytes were loaded, whatever they hold
  bool flash = false;
  LoadedNames names = {};
  VarContents variables = {};
  FlashContents parts = {};
};

Listed read_file(const char* path, std::string& buffer,
                 std::chrono::steady_clock::time_point give_up) {
  Listed listed;
  const LoadError load_error = std::string_view(path) == "-"
                                   ? load_standard_input(buffer)
                                   : load_file(path, buffer, give_up, listed.names);
  listed.failure = load_error_text(load_error);
  if (!listed.failure.empty()) return listed;
  listed.loaded = true;
  listed.flash = is_flash(std::string_view(buffer).substr(0, signature_size));
  if (listed.flash) {
    listed.parts = read_flash_contents(buffer);
    listed.failure = content_error_text(listed.parts.error);
  } else {
    listed.variables = read_var_contents(buffer);
    listed.failure = content_error_text(listed.variables.error);
  }
  return listed;
}

// The file's JSON object: its listing, or why it has none; with --check, its problems too.
std::string json_of(const char* path, const Listed& listed, bool check,
                    const std::vector<Problem>& problems) {
  std::string object;
  if (listed.failure.empty()) {
    object = listed.flash ? json_object(path, listed.parts) : json_object(path, listed.variables);
  } else {
    object = json_error(path, listed.failure);
  }
  if (check) add_json_problems(object, problems);
  return object;
}

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
  // One buffer for every file: memory follows the largest file, not the number of files.
  std::string buffer = {};
  // Locks are waited for at most lock_wait_limit in all: a run over files someone keeps locked
  // ends in time, each file still locked then reported at once.
  std::chrono::steady_clock::time_point give_up =
      std::chrono::steady_clock::now() + lock_wait_limit;
  bool all_good = true;
  bool listed_any = false;  // something is on standard output: the header line, or a JSON object
  std::size_t checked = 0;
  std::size_t with_problems = 0;

  void file(const char* path);
  void failed(const char* path, std::string_view failure);
  void walk(const std::string& folder, bool given);
};

// Lists the file `path`, or reports why it cannot.
void Lister::file(const char* path) {
  const Listed listed = read_file(path, buffer, give_up);
  std::vector<Problem> problems;
  if (request.check && listed.loaded) {
    // The messages of JSON are UTF-8, whatever the terminal.
    problems = listed.flash ? flash_file_problems(path, listed.parts)
                            : variable_file_problems(path, buffer, listed.variables, listed.names,
                                                     request.json ? Charset::utf8 : charset);
  }
  // A file the reader refused for one of the problems --check knows has that problem.
  if (!listed.failure.empty() && problems.empty()) return failed(path, listed.failure);
  ++checked;
  if (!problems.empty()) ++with_problems;
  all_good = all_good && problems.empty();
  if (request.json) {
    console.out(listed_any ? ",\n" : "\n");
    console.out(json_of(path, listed, request.check, problems));
    listed_any = true;
  } else if (request.mends) {
    for (const Problem& problem : problems) {
      if (!problem.mend.empty()) console.out(problem.mend + "\n");
    }
  } else if (request.check) {
    console.out(problem_lines(path, problems, charset));
  } else {
    if (!listed_any) console.out(listing_header());
    console.out(listed.flash ? human_lines(path, listed.parts, charset)
                             : human_lines(path, listed.variables, charset));
    listed_any = true;
  }
  if (request.check) return;
  for (const VarEntry& variable : listed.variables.variables) {
    if (variable.checksum_ok()) continue;
    console.err(problem(path, checksum_text(variable, charset), charset));
    all_good = false;
  }
}

// A file, or a folder, that cannot be listed: its JSON object, and a line on standard error.
void Lister::failed(const char* path, std::string_view failure) {
  ++checked;
  ++with_problems;
  all_good = false;
  if (request.json) {
    console.out(listed_any ? ",\n" : "\n");
    Listed none;
    none.failure = failure;
    console.out(json_of(path, none, request.check, {}));
    listed_any = true;
  }
  console.err(problem(path, failure, charset));
}

// With -r: lists every file named as TI-68k files are in `folder` and the folders in it, in name
// order, without following a symbolic link to a folder. A folder that cannot be read is reported,
// and the walk goes on. A `given` path that is no folder is listed as a file.
void Lister::walk(const std::string& folder, bool given) {
  LoadError error = LoadError::none;
  const std::optional<std::vector<FolderEntry>> entries = read_folder(folder.c_str(), error);
  if (!entries && given && error == LoadError::not_regular) return file(folder.c_str());
  if (!entries) return failed(folder.c_str(), load_error_text(error));
#if defined(_WIN32)
  const std::string_view separators = "/\\";
#else
  const std::string_view separators = "/";
#endif
  const bool ends_in_separator = separators.find(folder.back()) != std::string_view::npos;
  const std::string prefix = ends_in_separator ? folder : folder + separators.back();
  for (const FolderEntry& entry : *entries) {
    if (console.out_failed()) return;
    const std::string path = prefix + entry.name;
    if (entry.kind == FolderEntry::Kind::folder) {
      walk(path, false);
    } else if (const auto extension = ti68k_extension(entry.name);
               extension && extension->type_letter) {
      file(path.c_str());
    }
  }
}

}  // namespace

ShowStatus list_files(const ShowRequest& request, Console& console, Charset charset) {
  Lister lister{request, console, charset};
  if (request.json) console.out("[");
  for (std::size_t i = 0; i < request.args.size() && !console.out_failed(); ++i) {
    if (!request.names_file(i)) continue;
    const char* path = request.args[i];
    if (request.recursive && *path != '\0' && std::string_view(path) != "-") {
      lister.walk(path, true);
    } else {
      lister.file(path);
    }
  }
  if (request.json) console.out(lister.listed_any ? "\n]\n" : "]\n");
  if (!finish_output(console)) return ShowStatus::some_failed;
  if (request.check) {
    console.err("ostrel-show: " +
                format_message(show_msg::summary, {std::to_string(lister.checked),
                                                   std::to_string(lister.with_problems)}) +
                "\n");
  }
  return lister.all_good ? ShowStatus::all_good : ShowStatus::some_failed;
}

}  // namespace ostrel
