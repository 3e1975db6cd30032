// File access on POSIX systems: opening, locking, positioned writes and the no-replace rename,
// and loading a whole file for reading.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>  // renamex_np and RENAME_EXCL (macOS)

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#include <time.h>
#include <unistd.h>

#include "varfile/file.h"
#include "varfile/file_posix.h"

namespace ostrel {

namespace {

// Opens by looking at the path, opening it, and looking again. The path can change between the
// look and the open, so the open must not wait (O_NONBLOCK: a FIFO put there meanwhile would wait
// for a writer), and the second look refuses what is not a regular file.
int open_by_path(const char* path, struct stat& info) {
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

#if defined(O_PATH)
// Opens by way of a descriptor that can only look (O_PATH opens no device and waits for nothing):
// the very file whose type was checked is then reopened for writing through /proc, so nothing
// that took the path's place meanwhile is ever opened for writing. Without O_NONBLOCK, a file
// under a lease (Samba, a backup agent) is waited for, as other tools do. Sets `no_proc` when
// /proc is not mounted and this way is closed.
int open_by_descriptor(const char* path, struct stat& info, bool& no_proc) {
  const int handle = ::open(path, O_PATH | O_CLOEXEC);
  if (handle < 0) return -1;
  int fd = -1;
  if (::fstat(handle, &info) == 0 && S_ISREG(info.st_mode)) {
    char link[32] = "/proc/self/fd/";
    std::to_chars(link + sizeof "/proc/self/fd/" - 1, link + sizeof link - 1, handle);
    fd = ::open(link, O_RDWR | O_NOCTTY | O_CLOEXEC);
    no_proc = fd < 0 && errno == ENOENT;
  }
  ::close(handle);
  return fd;
}
#endif

using Clock = std::chrono::steady_clock;

// Waits before the next try, longer each time (from 1 ms up to 100 ms); false, without waiting,
// once `give_up` has passed.
bool pause_before_retry(Clock::time_point give_up, long& pause_ns) {
  if (Clock::now() >= give_up) return false;
  const timespec pause{0, pause_ns};
  ::nanosleep(&pause, nullptr);
  pause_ns = std::min(pause_ns * 2, 100'000'000L);
  return true;
}

// Takes the advisory lock `operation` (LOCK_EX or LOCK_SH) on `fd`. It is asked for without
// blocking, and again after a pause while another program holds one that conflicts, so that a
// holder that never lets go (a stopped run, flock(1) in a script) keeps the caller waiting only
// until `give_up`: false then. Where the filesystem has no locks (ENOLCK, EOPNOTSUPP) the caller
// goes on without one rather than refuse every file there: true.
bool lock_until(int fd, int operation, Clock::time_point give_up) {
  long pause_ns = 1'000'000;
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    if (!pause_before_retry(give_up, pause_ns)) return false;
  }
  return true;
}

// Removes the old name once the new one is linked; should that fail, the new name is taken back
// so that the file keeps exactly one name.
bool drop_old_name(const char* from, const char* to) {
  if (::unlink(from) == 0) return true;
  ::unlink(to);
  return false;
}

}  // namespace

std::optional<VarFile> VarFile::open(const char* path) {
  struct stat info;
  int fd = -1;
#if defined(O_PATH)
  bool no_proc = false;
  fd = open_by_descriptor(path, info, no_proc);
  if (fd < 0 && no_proc) fd = open_by_path(path, info);
#else
  fd = open_by_path(path, info);
#endif
  if (fd < 0) return std::nullopt;
  return VarFile(fd, static_cast<std::uint64_t>(info.st_dev),
                 static_cast<std::uint64_t>(info.st_ino));
}

VarFile::~VarFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool VarFile::lock(const char* path) {
  // Held by every run of this tool until it closes the file.
  return lock_until(static_cast<int>(handle_), LOCK_EX, Clock::now() + lock_wait_limit) &&
         is_at(path);
}

bool VarFile::is_at(const char* path) const {
  struct stat info;
  return ::stat(path, &info) == 0 && static_cast<std::uint64_t>(info.st_dev) == device_ &&
         static_cast<std::uint64_t>(info.st_ino) == inode_;
}

std::optional<std::size_t> VarFile::read_at(std::uint64_t offset, std::span<char> buffer) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::pread(static_cast<int>(handle_), buffer.data() + got, buffer.size() - got,
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

bool VarFile::write_at(std::uint64_t offset, std::string_view bytes) {
  if (handle_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(static_cast<int>(handle_), bytes.data(), bytes.size(),
                                     static_cast<off_t>(offset));
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
  if (handle_ < 0) return true;
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  // Linux releases the descriptor even when close fails, so it is never retried.
  return ::close(fd) == 0;
}

bool name_is_free(const char* path) {
  struct stat info;
  return ::lstat(path, &info) != 0 && errno == ENOENT;
}

bool is_symbolic_link(const char* path) {
  struct stat info;
  return ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

namespace {

// The system's own atomic rename that never replaces: true when done. Where there is none, or the
// filesystem refuses it, false with errno ENOSYS, EINVAL or ENOTSUP; any other errno is the
// rename's own failure (EEXIST when `to` exists).
bool atomic_rename_no_replace(const char* from, const char* to) {
#if defined(__APPLE__) && !defined(OSTREL_GENERIC_RENAME)
  // RENAME_EXCL makes the rename fail with EEXIST, atomically, when `to` exists.
  return ::renamex_np(from, to, RENAME_EXCL) == 0;
#elif defined(__linux__) && defined(SYS_renameat2) && !defined(OSTREL_GENERIC_RENAME)
  // The system call itself: musl, unlike glibc, declares no renameat2(), and its flag comes from
  // <linux/fs.h>, which not every C library's headers include.
  constexpr unsigned rename_noreplace = 1;
  return ::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, rename_noreplace) == 0;
#else
  // None: another POSIX system, or the generic way forced (OSTREL_GENERIC_RENAME) to test it.
  static_cast<void>(from), static_cast<void>(to);
  errno = ENOSYS;
  return false;
#endif
}

}  // namespace

bool rename_no_replace(const char* from, const char* to) {
  if (atomic_rename_no_replace(from, to)) return true;
  // Filesystems without the flag refuse it (EINVAL; ENOTSUP on macOS), systems without the call
  // lack it (ENOSYS): then a hard link, which fails rather than replace.
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::link(from, to) == 0) return drop_old_name(from, to);
  // Some FUSE and network filesystems have no hard links either (EPERM, EOPNOTSUPP). There the
  // rename can only look first, as `mv -n` does, so a file created under the new name by another
  // process in between would be replaced: on such filesystems the guarantee is best effort.
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOTSUP) return false;
  return rename_if_free(from, to);
}

bool rename_by_link(const char* from, const char* to) {
  // link() fails with EEXIST rather than replace, so no other file can be lost in between.
  return ::link(from, to) == 0 && drop_old_name(from, to);
}

bool rename_if_free(const char* from, const char* to) {
  return name_is_free(to) && ::rename(from, to) == 0;
}

LoadError load_file(const char* path, std::string& buffer) {
  // O_NONBLOCK: a FIFO is refused below instead of waited on, and a file under a lease (Samba, a
  // backup agent) fails at once, its holder being told to let go: it is tried again until the
  // limit. Reading only, nothing else needs the care taken with the writing open.
  const Clock::time_point give_up = Clock::now() + lock_wait_limit;
  long pause_ns = 1'000'000;
  int fd;
  while ((fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) break;
    if (!pause_before_retry(give_up, pause_ns)) return LoadError::locked;
  }
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return LoadError::not_found;
    if (errno == EACCES || errno == EPERM) return LoadError::access_denied;
    if (errno == ENXIO) return LoadError::not_regular;  // a socket
    return LoadError::read_failed;
  }
  struct stat info;
  LoadError error = LoadError::none;
  if (::fstat(fd, &info) != 0) {
    error = LoadError::read_failed;
  } else if (S_ISDIR(info.st_mode)) {
    error = LoadError::is_directory;
  } else if (!S_ISREG(info.st_mode)) {
    error = LoadError::not_regular;
  } else if (static_cast<std::uint64_t>(info.st_size) > max_load_size) {
    error = LoadError::too_large;
  } else if (!lock_until(fd, LOCK_SH, give_up)) {
    // A shared lock waits for an ostrel run that is editing the file (it holds an exclusive one
    // until its edits and rename are done), so no half-edited header is listed.
    error = LoadError::locked;
  } else {
    // The size fstat gave: a file that grows meanwhile is read as it was, one that shrinks as it
    // is now.
    buffer.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < buffer.size()) {
      const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = LoadError::read_failed;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    buffer.resize(got);
  }
  ::close(fd);
  return error;
}

LoadError load_standard_input(std::string& buffer) {
  struct stat info;
  if (::fstat(0, &info) == 0 && S_ISDIR(info.st_mode)) return LoadError::is_directory;
  // A pipe tells no size: read until its end, a chunk at a time, up to the limit of a file.
  constexpr std::size_t chunk = 64 << 10;
  buffer.clear();
  for (;;) {
    if (buffer.size() > max_load_size) return LoadError::too_large;
    const std::size_t got = buffer.size();
    buffer.resize(got + chunk);
    const ssize_t n = ::read(0, buffer.data() + got, chunk);
    buffer.resize(got + static_cast<std::size_t>(n > 0 ? n : 0));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LoadError::read_failed;
    if (n == 0) return LoadError::none;
  }
}

}  // namespace ostrel
