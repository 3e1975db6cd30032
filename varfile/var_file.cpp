#include "varfile/var_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

std::optional<VarFile> VarFile::open(const char* path) {
  // Look before opening: opening some devices for writing has effects of its own (a watchdog
  // starts, a tape rewinds), so only a regular file is ever opened.
  struct stat info;
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;

  // O_NONBLOCK: should the path have become a FIFO since the look above, the open must not wait
  // for a writer. It has no effect on a regular file.
  const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return VarFile(fd);
}

VarFile::~VarFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool VarFile::write_at(std::uint64_t offset, std::string_view bytes) {
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

bool VarFile::close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  // Linux releases the descriptor even when close fails, so it is never retried.
  return ::close(fd) == 0;
}

}  // namespace ostrel
