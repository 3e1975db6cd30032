#pragma once
// The one open variable file of a run: opened for update, written at absolute offsets, closed.

#include <cstdint>
#include <optional>
#include <string_view>

namespace ostrel {

class VarFile {
 public:
  /// Opens an existing regular file (or a symbolic link to one) for reading and writing, without
  /// creating or truncating it. Directories, FIFOs, devices and sockets are refused before they
  /// are opened for writing, and the open never blocks.
  static std::optional<VarFile> open(const char* path);

  VarFile(VarFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  VarFile& operator=(VarFile&&) = delete;
  VarFile(const VarFile&) = delete;
  VarFile& operator=(const VarFile&) = delete;
  ~VarFile();

  /// Writes all of `bytes` at `offset`; a file shorter than the offset grows, the gap reading as
  /// zeros. Returns false when the write did not complete.
  [[nodiscard]] bool write_at(std::uint64_t offset, std::string_view bytes);

  /// Closes the file; returns false when the close reports an error. Later calls do nothing.
  [[nodiscard]] bool close();

 private:
  explicit VarFile(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace ostrel
