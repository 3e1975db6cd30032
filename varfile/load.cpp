#include "varfile/load.h"

#include <algorithm>
#include <new>
#include <span>
#include <thread>

namespace ostrel {

namespace {

using Clock = std::chrono::steady_clock;

// Why a name that is not a regular file cannot be loaded.
LoadError not_loadable(const FileInfo& info) {
  return info.kind == FileInfo::Kind::folder ? LoadError::is_directory : LoadError::not_regular;
}

// Tries `step` until it is done, again after a pause (from 1 ms, doubling, up to 100 ms) while
// another program holds the file, so that a holder that never lets go keeps the caller only until
// `give_up`: false then. `waited` tells whether there was a wait.
template <typename Step>
bool within(Clock::time_point give_up, bool& waited, Step&& step) {
  for (auto pause = std::chrono::milliseconds(1); !step();
       pause = std::min(pause * 2, std::chrono::milliseconds(100))) {
    if (Clock::now() >= give_up) return false;
    std::this_thread::sleep_for(pause);
    waited = true;
  }
  return true;
}

// Reads the first `size` bytes of the open file into `buffer`: fewer if it shrank meanwhile; a
// file that grows is read as it was. Memory that cannot be had is a failure to read, not the end
// of the run.
LoadError read_whole(std::intptr_t handle, std::uint64_t size, std::string& buffer) {
  if (size > max_load_size) return LoadError::too_large;
  try {
    buffer.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return LoadError::read_failed;
  }
  LoadError error = LoadError::none;
  const std::optional<std::size_t> got = read_open_at(handle, 0, buffer, error);
  buffer.resize(got.value_or(0));
  return error;
}

// One try: look, open, look at what was opened, lock (waiting), read. `again` is set where an
// edit waited for renamed the file, and the name is to be looked at anew.
LoadError load_once(Folder folder, const char* name, std::string& buffer, Clock::time_point give_up,
                    LoadedNames& names, bool listed_regular, bool& again) {
  FileInfo info;
  info.kind = FileInfo::Kind::regular;
  if (!listed_regular) {
    if (const LoadError error = look_at(folder, name, false, info); error != LoadError::none) {
      return error;
    }
  }
  names.symbolic_link = info.kind == FileInfo::Kind::link;
  if (names.symbolic_link) {
    if (const LoadError error = look_at(folder, name, true, info); error != LoadError::none) {
      return error;
    }
  }
  if (info.kind != FileInfo::Kind::regular) return not_loadable(info);
  if (info.size > max_load_size) return LoadError::too_large;
  // A file under a lease is opened again once its holder, told to let go, has.
  LoadError error = LoadError::none;
  std::intptr_t handle = -1;
  bool waited = false;
  within(give_up, waited, [&] {
    handle = open_for_reading(folder, name, names.symbolic_link, error);
    return error != LoadError::locked;
  });
  if (handle == -1) return error;
  // What was opened is what is looked at from here on: its kind before anything else (a lock is
  // waited for only on a regular file), its size after any wait.
  FileInfo opened;
  error = look_at_open(handle, opened);
  if (error == LoadError::none && opened.kind != FileInfo::Kind::regular) {
    error = not_loadable(opened);
  } else if (error == LoadError::none &&
             !within(give_up, waited, [handle] { return try_shared_lock(handle); })) {
    error = LoadError::locked;
  } else if (error == LoadError::none && waited) {
    FileInfo now;
    again = look_at(folder, name, true, now) != LoadError::none || now.device != opened.device ||
            now.inode != opened.inode;
    if (!again) error = look_at_open(handle, opened);
  }
  if (error == LoadError::none && !again) {
    names.links = opened.links;
    names.device = opened.device;
    names.inode = opened.inode;
    error = read_whole(handle, opened.size, buffer);
  }
  close_open(handle);
  return error;
}

}  // namespace

LoadError load_file(Folder folder, const char* name, std::string& buffer, Clock::time_point give_up,
                    LoadedNames& names, bool listed_regular) {
  for (;;) {
    bool again = false;
    const LoadError error = load_once(folder, name, buffer, give_up, names, listed_regular, again);
    listed_regular = false;  // a name looked at again is looked at as it is now
    // The edit waited for renamed the file: what the name names now is listed, or found
    // missing, as a listing started now would.
    if (!again) return error;
  }
}

}  // namespace ostrel
