#pragma once
// The platform's file calls, implemented once per OS (file_posix.cpp, file_win32.cpp): the one
// variable file an edit opens, locks, reads, writes and renames, in the folder it holds, and the
// hold of signals while it changes; loading whole files for the lister.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

/// How long a run waits for another program to let go of a file before giving up.
inline constexpr std::chrono::seconds lock_wait_limit{10};

/// A folder held open: the names in it are looked at and opened from it, never by a whole path,
/// whatever happens to the path's folders meanwhile. The current folder stands for itself, and
/// names looked at from it are whole paths, as given.
struct Folder {
  std::intptr_t handle = -1;  // a descriptor (POSIX) or a HANDLE (Windows); -1: the current one
};

/// What a name, or an open file, is.
struct FileInfo {
  enum class Kind { regular, folder, link, other };  // on Windows, a link is any reparse point
  Kind kind = Kind::other;
  std::uint64_t device = 0;  // which file it is: device and inode, or volume and file index
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::uint64_t links = 1;   // its number of names (hard links)
};

class VarFile {
 public:
  /// Opens an existing regular file (or a symbolic link to one) for reading and writing, without
  /// creating or truncating it, by way of its folder, which it holds from then on: every later
  /// look at a name and every rename is made in that folder, whatever happens to the path's
  /// folders meanwhile. Nothing else is ever opened for writing, even when the path is swapped
  /// meanwhile: directories, FIFOs, devices and sockets are refused, and never waited on. A file
  /// under a lease is waited for, until `give_up`, which covers lock() too.
  static std::optional<VarFile> open(const char* path,
                                     std::chrono::steady_clock::time_point give_up,
                                     const FileInfo* known = nullptr);
  /// The same for `name` in a folder already held, whose whole path is `path` (which Windows
  /// goes by); for the current folder, open(path). Where `known` is the file a look has just
  /// found under that name (a regular file, or a link to one), that very file alone is opened,
  /// by the name and without waiting, and what was opened is checked to be it before anything
  /// else.
  static std::optional<VarFile> open_in(Folder folder, const char* name, const char* path,
                                        const FileInfo* known,
                                        std::chrono::steady_clock::time_point give_up);

  VarFile(VarFile&& other) noexcept
      : handle_(other.handle_), folder_(other.folder_), device_(other.device_),
        inode_(other.inode_), name_(other.name_), name_is_link_(other.name_is_link_),
        names_at_lock_(other.names_at_lock_),
        give_up_(other.give_up_) {
    other.handle_ = -1;
    other.folder_ = -1;
  }
  VarFile& operator=(VarFile&&) = delete;
  VarFile(const VarFile&) = delete;
  VarFile& operator=(const VarFile&) = delete;
  ~VarFile();

  /// Takes the file for this run alone until it is closed (every lock kind other programs take:
  /// flock and a record lock on POSIX systems), waiting while another run or program holds one,
  /// within the limit open() began; then checks that the file's name still names this file. False
  /// when the wait ran out or the name names another file: another run renamed or replaced it,
  /// and this one must leave it alone. A lock the filesystem cannot give is gone without.
  [[nodiscard]] bool lock();

  /// True when the file's name in its folder is itself a symbolic link (on Windows, any reparse
  /// point): renaming it would rename the link, not the file it leads to. (As lock() found it,
  /// where it did.)
  [[nodiscard]] bool name_is_link() const;

  /// True when the file has another name besides this one (a hard link), now; also when that
  /// cannot be told.
  [[nodiscard]] bool has_other_names() const;
  /// The same, as lock() found it: when the file was taken.
  [[nodiscard]] bool had_other_names() const;

  /// True when nothing at all, not even a dangling symbolic link, has in the file's folder the
  /// last part of `path`.
  [[nodiscard]] bool name_is_free(const char* path) const;

  enum class Renamed {
    done,           // the file has its new name
    failed,         // nothing changed: the name is taken, or the rename is not possible
    not_this_file,  // what had the name was not this file: it was given its name back
  };

  /// Gives the file, in its folder, the last part of `path` as its name, never replacing a file
  /// that has it, even one another process creates at that moment (best effort on filesystems
  /// with neither an atomic no-replace rename nor hard links); then checks that the new name is
  /// this file: without following links, or, where the file was opened through a symbolic link,
  /// which is what gets the new name, that it is a link to this file.
  [[nodiscard]] Renamed rename_to(const char* path);

  /// Where the last part of `path`, in the file's folder, is another name of this very file:
  /// removes the file's own name, so that the other one is its only one. False, nothing
  /// changed, otherwise.
  [[nodiscard]] bool keep_only_name(const char* path);

  /// Reads from `offset` into `buffer` until it is full or the file ends; the count read, or
  /// none when a read fails.
  [[nodiscard]] std::optional<std::size_t> read_at(std::uint64_t offset, std::span<char> buffer);

  /// Writes all of `bytes` at `offset`; a file shorter than the offset grows, the gap reading as
  /// zeros. Returns false when the write did not complete.
  [[nodiscard]] bool write_at(std::uint64_t offset, std::string_view bytes);

  /// Closes the file, which ends the lock; returns false when the close reports an error. Later
  /// calls do nothing.
  [[nodiscard]] bool close();

 private:
  VarFile() = default;
  bool open_name(std::chrono::steady_clock::time_point give_up,
                 const FileInfo* known);  // name_ in folder_
  std::intptr_t handle_ = -1;  // a descriptor (POSIX) or a HANDLE (Windows); -1 once closed
  std::intptr_t folder_ =
      -1;  // POSIX: a descriptor of the file's folder, or -1 for the current one
  std::uint64_t device_ = 0;   // which file it is (device and inode, or volume and file index), to
  std::uint64_t inode_ = 0;    // compare with what its name names
  const char* name_ = nullptr;  // its name in its folder: the end of the path it was opened by,
                                // or of the one it was renamed to
  // Whether that name is a symbolic link, as lock() or name_is_link() found it: a rename made
  // through one renames the link, which must then still lead to the file.
  mutable std::optional<bool> name_is_link_;
  std::uint64_t names_at_lock_ = 0;  // its number of names, as lock() found it (POSIX)
  std::chrono::steady_clock::time_point give_up_ = {};  // when waiting for it ends
};

/// While it lives, every signal that can be held waits (on Windows, Ctrl+C, Ctrl+Break and the
/// closing of the console), and one that came takes effect when it ends. An edit holds them from
/// its first change to the file (the rename, or the first write) to its close, so that no signal
/// can leave a file half edited, or under a new name without its new signature. One at a time.
class InterruptHold {
 public:
  InterruptHold();
  ~InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;
};

/// Why a file could not be read, or a folder walked.
enum class LoadError {
  none,
  not_found,
  access_denied,
  is_directory,
  not_regular,
  too_large,
  read_failed,
  locked,         // another program held a lock (or a lease) on it past the limit
  too_many_open,  // the process's limit of open files is reached
};

// The reader's side of the platform: a handful of system calls, each mapped to a LoadError. What
// is done with them (look, open, look again, wait, read) is written once, in load.cpp.

/// Looks at `name` in `folder`, opening nothing that could have an effect (a device, a FIFO);
/// `follow`: what a final symbolic link leads to, rather than the link.
LoadError look_at(Folder folder, const char* name, bool follow, FileInfo& info);

/// Opens `name` in `folder` for reading, never waiting: not for a FIFO's writer, nor for a
/// lease's holder, who is told to let go. Unless `follow`, a final symbolic link is not opened.
/// -1, with `error`, where it cannot be opened.
std::intptr_t open_for_reading(Folder folder, const char* name, bool follow, LoadError& error);

/// What the file open as `handle` is.
LoadError look_at_open(std::intptr_t handle, FileInfo& info);

/// One try at a shared lock on the whole open file, as an edit in progress holds an exclusive
/// one; true also where the filesystem has no locks. False while another program holds one.
bool try_shared_lock(std::intptr_t handle);

/// Reads from `offset` into `buffer` until it is full or the file ends: the count read, or none
/// with `error` where a read fails (not_regular for what cannot be read at an offset).
std::optional<std::size_t> read_open_at(std::intptr_t handle, std::uint64_t offset,
                                        std::span<char> buffer, LoadError& error);

void close_open(std::intptr_t handle);

/// Opens the folder `name` in `parent` to walk it; unless `follow`, not through a symbolic link
/// (nor, on Windows, any reparse point). The handle -1, with `error`, where it cannot be
/// (not_regular for what is not a folder).
Folder open_folder(Folder parent, const char* name, bool follow, LoadError& error);

/// One name in a folder, and what it names.
struct FolderEntry {
  std::string name;
  FileInfo::Kind kind;  // a link is what the name itself is, not what it leads to
};

/// The names in `folder`, but "." and "..", in the order the system gives them; none, with
/// `error`, where it cannot be read.
std::optional<std::vector<FolderEntry>> list_folder(Folder folder, LoadError& error);

void close_folder(Folder folder);

/// The characters that part folders in a path, the one a path is joined with last: "/", or "/\\"
/// on Windows.
std::string_view folder_separators();

/// Reads all of standard input into `buffer`, as for a file, at most `limit` bytes and one chunk.
LoadError load_standard_input(std::string& buffer, std::uint64_t limit);


}  // namespace ostrel
