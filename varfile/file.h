#pragma once
// The platform's file calls, implemented once per OS (file_posix.cpp, file_win32.cpp): the one
// variable file an edit run opens, locks, reads and writes; the rename that never replaces a
// file, and the looks at names before it; loading whole files for the lister.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

/// How long a run waits for another program to let go of a file before giving up.
inline constexpr std::chrono::seconds lock_wait_limit{10};

class VarFile {
 public:
  /// Opens an existing regular file (or a symbolic link to one) for reading and writing, without
  /// creating or truncating it. Nothing else is ever opened for writing, even when the path is
  /// swapped meanwhile: directories, FIFOs, devices and sockets are refused, and never waited on.
  static std::optional<VarFile> open(const char* path);

  VarFile(VarFile&& other) noexcept
      : handle_(other.handle_), device_(other.device_), inode_(other.inode_) {
    other.handle_ = -1;
  }
  VarFile& operator=(VarFile&&) = delete;
  VarFile(const VarFile&) = delete;
  VarFile& operator=(const VarFile&) = delete;
  ~VarFile();

  /// Takes the file for this run alone until it is closed, waiting while another run (or any
  /// program holding a lock on it) has it, at most lock_wait_limit, then checks that `path` still
  /// names this file. False when the wait ran out or `path` names another file: the other run
  /// renamed or replaced it, and this one must leave it alone.
  [[nodiscard]] bool lock(const char* path);

  /// True when `path` names this very file (the same device and inode, or volume and index).
  [[nodiscard]] bool is_at(const char* path) const;

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
  VarFile(std::intptr_t handle, std::uint64_t device, std::uint64_t inode)
      : handle_(handle), device_(device), inode_(inode) {}
  std::intptr_t handle_;  // a descriptor (POSIX) or a HANDLE (Windows); -1 once closed
  std::uint64_t device_;  // which file it is (device and inode, or volume and file index), to
  std::uint64_t inode_;   // compare with what the path names
};

/// True when nothing at all, not even a dangling symbolic link, has the name `path`.
[[nodiscard]] bool name_is_free(const char* path);

/// True when `path` itself is a symbolic link (on Windows, any reparse point): renaming it would
/// rename the link, not the file it leads to.
[[nodiscard]] bool is_symbolic_link(const char* path);

/// Renames `from` to `to`, failing (and changing nothing) when `to` already exists, even if
/// another process creates it at the same moment; best effort on filesystems that have neither
/// an atomic no-replace rename nor hard links. Returns false on any failure.
[[nodiscard]] bool rename_no_replace(const char* from, const char* to);

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

/// Reads the whole regular file `path` into `buffer`, reusing its memory, in one read as a rule,
/// after waiting for an edit in progress to end (at most lock_wait_limit). Devices, FIFOs and
/// folders are never read, and never waited on.
LoadError load_file(const char* path, std::string& buffer);

/// Reads all of standard input into `buffer`, as for a file.
LoadError load_standard_input(std::string& buffer);

#if defined(_WIN32)
/// `text`, UTF-8 like every argument and message, as the UTF-16 of Windows' wide calls. With
/// `strict`, empty when it is not valid UTF-8; otherwise each invalid byte becomes U+FFFD.
std::wstring widen(std::string_view text, bool strict);
#endif

}  // namespace ostrel
