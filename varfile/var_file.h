#pragma once
// The one open variable file of a run: opened for update, locked, read and written at absolute
// offsets, closed. The platform's file calls are in one file per OS.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace ostrel {

/// How long a run waits for another program to let go of the file before giving up.
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

}  // namespace ostrel
