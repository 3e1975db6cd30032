#pragma once
// Loading a whole file for the lister: what may be read, how long a lock is waited for, and how
// much is read, written once for every OS over the platform's calls (file.h).

#include <chrono>
#include <cstdint>
#include <string>

#include "varfile/file.h"

namespace ostrel {

/// The largest file loaded: far more than any calculator's memory, so that a huge or endless file
/// is refused instead of filling memory.
inline constexpr std::uint64_t max_load_size = 64 << 20;

/// What a loaded file is besides its bytes: for a check that it can be edited, and for finding
/// its other names.
struct LoadedNames {
  bool symbolic_link = false;  // the name is a symbolic link, followed to the file
  std::uint64_t links = 1;     // the file's number of names (hard links)
  std::uint64_t device = 0;    // which file it is
  std::uint64_t inode = 0;
};

/// Reads the whole regular file `name` in `folder` into `buffer`, reusing its memory, in one read
/// as a rule. Only what a look finds to be a regular file is opened (a symbolic link is followed
/// only where the look found one), and what was opened is looked at again before anything else:
/// whatever took the name's place in between (a device, a FIFO, a socket) is closed, never read
/// or waited on. An edit in progress (or another program's lock, or a lease) is then waited for,
/// at most until `give_up`, which a whole listing shares; a file that the name no longer names
/// once the wait is over (an edit renamed it) is not read: what the name names then is, as a
/// listing started then would. The size limit holds for what is read after any wait, and no more
/// is ever read. `listed_regular`: the folder's own listing has just found the name a regular
/// file, which is then the look.
LoadError load_file(Folder folder, const char* name, std::string& buffer,
                    std::chrono::steady_clock::time_point give_up, LoadedNames& names,
                    bool listed_regular = false);

}  // namespace ostrel
