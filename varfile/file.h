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

class VarFile {
 public:
  /// Opens an existing regular file (or a symbolic link to one) for reading and writing, without
  /// creating or truncating it, by way of its folder, which it holds from then on: every later
  /// look at a name and every rename is made in that folder, whatever happens to the path's
  /// folders meanwhile. Nothing else is ever opened for writing, even when the path is swapped
  /// meanwhile: directories, FIFOs, devices and sockets are refused, and never waited on. A file
  /// under a lease is waited for, until `give_up`, which covers lock() too.
  static std::optional<VarFile> open(const char* path,
                                     std::chrono::steady_clock::time_point give_up);

  VarFile(VarFile&& other) noexcept
      : handle_(other.handle_), folder_(other.folder_), device_(other.device_),
        inode_(other.inode_), name_(other.name_), through_link_(other.through_link_),
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
  /// point): renaming it would rename the link, not the file it leads to.
  [[nodiscard]] bool name_is_link() const;

  /// True when the file has another name besides this one (a hard link), now; also when that
  /// cannot be told.
  [[nodiscard]] bool has_other_names() const;

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
  std::intptr_t handle_ = -1;  // a descriptor (POSIX) or a HANDLE (Windows); -1 once closed
  std::intptr_t folder_ = -1;  // POSIX: a descriptor of the file's folder, or -1 for the current one
  std::uint64_t device_ = 0;   // which file it is (device and inode, or volume and file index), to
  std::uint64_t inode_ = 0;    // compare with what its name names
  const char* name_ = nullptr;  // its name in its folder: the end of the path it was opened by,
                                // or of the one it was renamed to
  bool through_link_ = false;   // that name was a symbolic link when the file was opened
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

/// Why a file could not be loaded.
enum class LoadError {
  none,
  not_found,
  access_denied,
  is_directory,
  not_regular,
  too_large,
  read_failed,
  locked,  // another program held a lock (or a lease) on it past lock_wait_limit
};

/// The largest file loaded: far more than any calculator's memory, so that a huge or endless file
/// is refused instead of filling memory.
inline constexpr std::uint64_t max_load_size = 64 << 20;

/// What a loaded file's path is besides the bytes: for a check that the file can be edited.
struct LoadedNames {
  bool symbolic_link = false;  // the path's last part is a symbolic link
  std::uint64_t links = 1;     // the file's number of names (hard links)
};

/// Reads the whole regular file `path` into `buffer`, reusing its memory, in one read as a rule,
/// after waiting for an edit in progress (or another program's write lock, or a lease) to end,
/// at most until `give_up`, which a whole listing shares. Only what a look at the path finds to
/// be a regular file is opened: never a folder, device, FIFO or socket, unless one takes the
/// file's place between the look and the open, and then it is opened without waiting, found out
/// and closed, never read. A file that the path no longer names once the wait is over (an edit
/// renamed it) is not read: what the path names then is, as a listing started then would. The
/// size limit holds for what is read after any wait; no more is ever read.
LoadError load_file(const char* path, std::string& buffer,
                    std::chrono::steady_clock::time_point give_up, LoadedNames& names);

/// One name in a folder, and what it names, as read_folder() finds it.
struct FolderEntry {
  enum class Kind { folder, link, other };  // a symbolic link (or, on Windows, any reparse point)
  std::string name;                         // is never followed to a folder
  Kind kind;
};

/// The names in the folder `path`, but "." and "..", in the order of their bytes; none, with
/// `error` saying why, where it cannot be read (not_regular where `path` is not a folder).
std::optional<std::vector<FolderEntry>> read_folder(const char* path, LoadError& error);

/// Reads all of standard input into `buffer`, as for a file.
LoadError load_standard_input(std::string& buffer);

#if defined(_WIN32)
/// `text`, UTF-8 like every argument and message, as the UTF-16 of Windows' wide calls. With
/// `strict`, empty when it is not valid UTF-8; otherwise each invalid byte becomes U+FFFD.
std::wstring widen(std::string_view text, bool strict);
#endif

}  // namespace ostrel
