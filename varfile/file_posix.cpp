// File access on POSIX systems: opening a file by way of its folder, locking, positioned writes
// and the no-replace rename in that folder, and loading a whole file for reading.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <charconv>
#include <chrono>
#include <cstdio>  // renameatx_np and RENAME_EXCL (macOS)
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
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

using Clock = std::chrono::steady_clock;

#if defined(__linux__)
// The kernel's signal mask, a bit per signal 1 to 64. glibc's sigfillset() and sigprocmask()
// leave out the signals the C library keeps for itself (32 and 33; musl's 32 to 34), which would
// end a run inside the hold: the system call itself holds every one.
std::uint64_t mask_before_hold;

void set_mask(int how, const std::uint64_t* mask, std::uint64_t* old) {
  ::syscall(SYS_rt_sigprocmask, how, mask, old, sizeof *mask);
}
#else
sigset_t mask_before_hold;
#endif

// The last part of a path: what follows its last slash.
const char* last_part(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? path : slash + 1;
}

// Waits before the next try, longer each time (from 1 ms up to 100 ms); false, without waiting,
// once `give_up` has passed.
bool pause_before_retry(Clock::time_point give_up, long& pause_ns) {
  if (Clock::now() >= give_up) return false;
  const timespec pause{0, pause_ns};
  ::nanosleep(&pause, nullptr);
  pause_ns = std::min(pause_ns * 2, 100'000'000L);
  return true;
}

// Opens `name` in `folder` with `flags`, which hold O_NONBLOCK: a file under a lease (Samba, a
// backup agent) then fails at once, its holder being told to let go, instead of keeping the
// caller for the kernel's lease-break time (45 s). It is tried again until `give_up`.
int open_retrying(int folder, const char* name, int flags, Clock::time_point give_up) {
  long pause_ns = 1'000'000;
  for (;;) {
    const int fd = ::openat(folder, name, flags);
    if (fd >= 0 || (errno != EINTR && errno != EWOULDBLOCK)) return fd;
    if (errno == EWOULDBLOCK && !pause_before_retry(give_up, pause_ns)) return -1;
  }
}

// Opens the regular file `name` in `folder` with `flags` without ever opening anything else, even
// when the name is swapped meanwhile: where there are O_PATH and /proc, by way of a descriptor
// that can only look (it opens no device and waits for nothing), the very file whose type was
// checked being reopened through /proc; elsewhere by looking, opening without waiting for
// anything (O_NONBLOCK) and looking again. -1 with `info` telling what was found when the name
// is not a regular file (st_mode 0 when nothing was found).
int open_regular(int folder, const char* name, int flags, struct stat& info,
                 Clock::time_point give_up) {
  info.st_mode = 0;
  flags |= O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
#if defined(O_PATH)
  const int look = ::openat(folder, name, O_PATH | O_CLOEXEC);
  if (look < 0) return -1;
  int fd = -1;
  bool no_proc = false;
  if (::fstat(look, &info) == 0 && S_ISREG(info.st_mode)) {
    char link[32] = "/proc/self/fd/";
    std::to_chars(link + sizeof "/proc/self/fd/" - 1, link + sizeof link - 1, look);
    fd = open_retrying(AT_FDCWD, link, flags, give_up);
    no_proc = fd < 0 && errno == ENOENT;
  }
  const int why = errno;
  ::close(look);
  errno = why;
  if (!no_proc) return fd;
#endif
  if (::fstatat(folder, name, &info, 0) != 0 || !S_ISREG(info.st_mode)) return -1;
  const int fd_by_name = open_retrying(folder, name, flags, give_up);
  if (fd_by_name < 0) return -1;
  if (::fstat(fd_by_name, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_by_name);
    return -1;
  }
  return fd_by_name;
}

enum class Lock { taken, busy };

// One try at flock `operation` (LOCK_EX or LOCK_SH). Where the filesystem has no such locks
// (ENOLCK, EOPNOTSUPP: some network filesystems), the caller goes on without one rather than
// refuse every file there: taken.
Lock try_flock(int fd, int operation) {
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno != EINTR) return errno == EWOULDBLOCK ? Lock::busy : Lock::taken;
  }
  return Lock::taken;
}

// One try at a record lock of `type` (F_WRLCK or F_RDLCK) over the whole file, as fcntl and
// lockf take: an open file description lock where the system has them, a process's record lock
// otherwise (and on kernels that refuse the former). Gone without where the filesystem has none.
Lock try_record_lock(int fd, short type) {
  struct flock whole {};
  whole.l_type = type;
  whole.l_whence = SEEK_SET;  // from 0, of length 0: the whole file, however it grows
#if defined(F_OFD_SETLK)
  int command = F_OFD_SETLK;
#else
  int command = F_SETLK;
#endif
  while (::fcntl(fd, command, &whole) != 0) {
#if defined(F_OFD_SETLK)
    if (errno == EINVAL && command == F_OFD_SETLK) {
      command = F_SETLK;
      continue;
    }
#endif
    if (errno != EINTR) return errno == EAGAIN || errno == EACCES ? Lock::busy : Lock::taken;
  }
  return Lock::taken;
}

// Takes flock `operation` on `fd`, and a record lock of `record` type where it has one, so that
// a program holding either kind is waited for. Each is asked for without blocking, and again
// after a pause while another program holds one that conflicts, so that a holder that never lets
// go (a stopped run, flock(1) in a script) keeps the caller waiting only until `give_up`: false
// then. `waited` tells whether there was a wait.
bool lock_until(int fd, int operation, std::optional<short> record, Clock::time_point give_up,
                bool& waited) {
  long pause_ns = 1'000'000;
  waited = false;
  bool flocked = false;
  for (;;) {
    flocked = flocked || try_flock(fd, operation) == Lock::taken;
    if (flocked && (!record || try_record_lock(fd, *record) == Lock::taken)) return true;
    if (!pause_before_retry(give_up, pause_ns)) return false;
    waited = true;
  }
}

bool same_file(const struct stat& info, std::uint64_t device, std::uint64_t inode) {
  return static_cast<std::uint64_t>(info.st_dev) == device &&
         static_cast<std::uint64_t>(info.st_ino) == inode;
}

// Removes the old name once the new one is linked; should that fail, the new name is taken back
// so that the file keeps exactly one name.
bool drop_old_name(int folder, const char* from, const char* to) {
  if (::unlinkat(folder, from, 0) == 0) return true;
  ::unlinkat(folder, to, 0);
  return false;
}

// The system's own atomic rename that never replaces: true when done. Where there is none, or the
// filesystem refuses it, false with errno ENOSYS, EINVAL or ENOTSUP; any other errno is the
// rename's own failure (EEXIST when `to` exists).
bool atomic_rename_no_replace(int folder, const char* from, const char* to) {
#if defined(__APPLE__) && !defined(OSTREL_GENERIC_RENAME)
  // RENAME_EXCL makes the rename fail with EEXIST, atomically, when `to` exists.
  return ::renameatx_np(folder, from, folder, to, RENAME_EXCL) == 0;
#elif defined(__linux__) && defined(SYS_renameat2) && !defined(OSTREL_GENERIC_RENAME)
  // The system call itself: musl, unlike glibc, declares no renameat2(), and its flag comes from
  // <linux/fs.h>, which not every C library's headers include.
  constexpr unsigned rename_noreplace = 1;
  return ::syscall(SYS_renameat2, folder, from, folder, to, rename_noreplace) == 0;
#else
  // None: another POSIX system, or the generic way forced (OSTREL_GENERIC_RENAME) to test it.
  static_cast<void>(folder), static_cast<void>(from), static_cast<void>(to);
  errno = ENOSYS;
  return false;
#endif
}

}  // namespace

InterruptHold::InterruptHold() {
  // Every signal there is: those that end a process (SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM,
  // real-time ones...) and the rest, which wait harmlessly. SIGKILL and SIGSTOP cannot be held.
#if defined(__linux__)
  const std::uint64_t every = ~std::uint64_t{0};
  set_mask(SIG_BLOCK, &every, &mask_before_hold);
#else
  sigset_t held;
  sigfillset(&held);
  ::sigprocmask(SIG_BLOCK, &held, &mask_before_hold);
#endif
}

// A signal that came meanwhile is delivered here, and ends the process as it would have.
InterruptHold::~InterruptHold() {
#if defined(__linux__)
  set_mask(SIG_SETMASK, &mask_before_hold, nullptr);
#else
  ::sigprocmask(SIG_SETMASK, &mask_before_hold, nullptr);
#endif
}

std::optional<VarFile> VarFile::open(const char* path, Clock::time_point give_up,
                                     const FileInfo* known) {
  VarFile file;
  file.name_ = last_part(path);
  if (file.name_ != path) {
    // The folder, opened once: "a/b" of "a/b/game.89p", "/" of "/game.89p".
    const std::string folder(path, std::max<std::size_t>(file.name_ - path - 1, 1));
#if defined(O_PATH)
    file.folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    file.folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    if (file.folder_ < 0) return std::nullopt;
  }
  if (!file.open_name(give_up, known)) return std::nullopt;
  return file;
}

std::optional<VarFile> VarFile::open_in(Folder folder, const char* name, const char* path,
                                        const FileInfo* known, Clock::time_point give_up) {
  if (folder.handle < 0) return open(path, give_up, known);
  VarFile file;
  file.name_ = name;
  file.folder_ = ::fcntl(static_cast<int>(folder.handle), F_DUPFD_CLOEXEC, 0);
  if (file.folder_ < 0 || !file.open_name(give_up, known)) return std::nullopt;
  return file;
}

bool VarFile::open_name(Clock::time_point give_up, const FileInfo* known) {
  give_up_ = give_up;
  const int folder = folder_ >= 0 ? static_cast<int>(folder_) : AT_FDCWD;
  struct stat info;
  int fd = -1;
  if (known == nullptr) {
    fd = open_regular(folder, name_, O_RDWR, info, give_up_);
  } else {
    // What the look found is opened, and kept only where it is that file still.
    const int follow = known->kind == FileInfo::Kind::link ? 0 : O_NOFOLLOW;
    fd = open_retrying(folder, name_, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | follow,
                       give_up_);
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
                    !same_file(info, known->device, known->inode))) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) return false;
  handle_ = fd;
  device_ = static_cast<std::uint64_t>(info.st_dev);
  inode_ = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

VarFile::~VarFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  if (folder_ >= 0) ::close(static_cast<int>(folder_));
}

namespace {

int folder_of(std::intptr_t folder) { return folder >= 0 ? static_cast<int>(folder) : AT_FDCWD; }

}  // namespace

bool VarFile::lock() {
  // Held by every run of this tool until it closes the file.
  bool waited = false;
  if (!lock_until(static_cast<int>(handle_), LOCK_EX, F_WRLCK, give_up_, waited)) return false;
  // The name, looked at without following a link, tells at once whether it is one, and what it
  // names; a link is followed to what it leads to.
  struct stat info;
  const int folder = folder_of(folder_);
  if (::fstatat(folder, name_, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  name_is_link_ = S_ISLNK(info.st_mode);
  if ((*name_is_link_ && ::fstatat(folder, name_, &info, 0) != 0) ||
      !same_file(info, device_, inode_)) {
    return false;
  }
  names_at_lock_ = static_cast<std::uint64_t>(info.st_nlink);
  return true;
}

bool VarFile::had_other_names() const { return names_at_lock_ != 1; }

bool VarFile::has_other_names() const {
  struct stat info;
  return ::fstat(static_cast<int>(handle_), &info) != 0 || info.st_nlink > 1;
}

bool VarFile::name_is_link() const {
  struct stat info;
  if (!name_is_link_) {
    name_is_link_ = ::fstatat(folder_of(folder_), name_, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(info.st_mode);
  }
  return *name_is_link_;
}

bool VarFile::name_is_free(const char* path) const {
  struct stat info;
  return ::fstatat(folder_of(folder_), last_part(path), &info, AT_SYMLINK_NOFOLLOW) != 0 &&
         errno == ENOENT;
}

VarFile::Renamed VarFile::rename_to(const char* path) {
  const int folder = folder_of(folder_);
  const char* from = name_;
  const char* to = last_part(path);
  const bool link = name_is_link();
  if (!rename_no_replace(folder, from, to)) return Renamed::failed;
  name_ = to;
  struct stat info;
  if (::fstatat(folder, to, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      (same_file(info, device_, inode_) ||
       (link && S_ISLNK(info.st_mode) && ::fstatat(folder, to, &info, 0) == 0 &&
        same_file(info, device_, inode_)))) {
    return Renamed::done;
  }
  // Another program put something else in the file's place since the lock's look: that was
  // renamed, and gets its name back.
  if (rename_no_replace(folder, to, from)) name_ = from;
  return Renamed::not_this_file;
}

bool VarFile::keep_only_name(const char* path) {
  const int folder = folder_of(folder_);
  const char* other = last_part(path);
  struct stat info;
  if (std::strcmp(other, name_) == 0 || ::fstatat(folder, other, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !same_file(info, device_, inode_)) {
    return false;
  }
  // The own name is first moved aside under a name of this run's own and checked to be this
  // file there, so that a file another program put in its place meanwhile is never removed.
  const std::string aside = std::string(name_) + ".ostrel-" + std::to_string(::getpid());
  if (!rename_no_replace(folder, name_, aside.c_str())) return false;
  if (::fstatat(folder, aside.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !same_file(info, device_, inode_) || ::unlinkat(folder, aside.c_str(), 0) != 0) {
    static_cast<void>(rename_no_replace(folder, aside.c_str(), name_));
    return false;
  }
  name_ = other;
  return true;
}

std::optional<std::size_t> VarFile::read_at(std::uint64_t offset, std::span<char> buffer) {
  LoadError error = LoadError::none;
  return read_open_at(handle_, offset, buffer, error);
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

bool rename_no_replace(int folder, const char* from, const char* to) {
  if (atomic_rename_no_replace(folder, from, to)) return true;
  // Filesystems without the flag refuse it (EINVAL; ENOTSUP on macOS), systems without the call
  // lack it (ENOSYS): then a hard link, which fails rather than replace.
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (rename_by_link(folder, from, to)) return true;
  // Some FUSE and network filesystems have no hard links either (EPERM, EOPNOTSUPP). There the
  // rename can only look first, as `mv -n` does, so a file created under the new name by another
  // process in between would be replaced: on such filesystems the guarantee is best effort.
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOTSUP) return false;
  return rename_if_free(folder, from, to);
}

namespace {

// False when this process could not remove `from` from `folder` once it has another name there:
// in a sticky folder (mode 1777, as /tmp), where only the owner of the file or of the folder may
// remove a name, and this process is neither (nor root).
bool old_name_removable(int folder, const char* from) {
  struct stat info;
  if (::fstatat(folder, ".", &info, 0) != 0 || (info.st_mode & S_ISVTX) == 0) return true;
  const uid_t user = ::geteuid();
  return user == 0 || info.st_uid == user ||
         (::fstatat(folder, from, &info, AT_SYMLINK_NOFOLLOW) == 0 && info.st_uid == user);
}

}  // namespace

bool rename_by_link(int folder, const char* from, const char* to) {
  // linkat() fails with EEXIST rather than replace, so no other file can be lost in between. No
  // link is made that could not be undone: where the old name could not be removed after it, the
  // file would keep both.
  if (!old_name_removable(folder, from)) {
    errno = EACCES;
    return false;
  }
  return ::linkat(folder, from, folder, to, 0) == 0 && drop_old_name(folder, from, to);
}

bool rename_if_free(int folder, const char* from, const char* to) {
  struct stat info;
  return ::fstatat(folder, to, &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT &&
         ::renameat(folder, from, folder, to) == 0;
}

namespace {

// Why a name could not be looked at or opened, from errno.
LoadError error_from_errno() {
  switch (errno) {
    case ENOENT:
    case ENOTDIR: return LoadError::not_found;
    case EACCES:
    case EPERM: return LoadError::access_denied;
    case EWOULDBLOCK: return LoadError::locked;  // a lease, whose holder is told to let go
    case ELOOP: return LoadError::not_regular;   // a symbolic link where none is followed
    case EMFILE:
    case ENFILE: return LoadError::too_many_open;
    default: return LoadError::read_failed;
  }
}

int descriptor(Folder folder) {
  return folder.handle >= 0 ? static_cast<int>(folder.handle) : AT_FDCWD;
}

FileInfo info_of(const struct stat& s) {
  FileInfo info;
  info.kind = S_ISREG(s.st_mode)   ? FileInfo::Kind::regular
              : S_ISDIR(s.st_mode) ? FileInfo::Kind::folder
              : S_ISLNK(s.st_mode) ? FileInfo::Kind::link
                                   : FileInfo::Kind::other;
  info.device = static_cast<std::uint64_t>(s.st_dev);
  info.inode = static_cast<std::uint64_t>(s.st_ino);
  info.size = static_cast<std::uint64_t>(s.st_size);
  info.links = static_cast<std::uint64_t>(s.st_nlink);
  return info;
}

// Where the process's limit of open files is reached, it is raised once to the most the system
// allows (a deep walk holds a folder per level): true where a call can then be tried again.
bool raise_open_limit() {
  static bool raised = false;
  rlimit limit;
  if (raised || (errno != EMFILE) || ::getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
      limit.rlim_cur >= limit.rlim_max) {
    return false;
  }
  raised = true;
  limit.rlim_cur = limit.rlim_max;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace

LoadError look_at(Folder folder, const char* name, bool follow, FileInfo& info) {
  struct stat s;
  if (::fstatat(descriptor(folder), name, &s, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    return error_from_errno();
  }
  info = info_of(s);
  return LoadError::none;
}

std::intptr_t open_for_reading(Folder folder, const char* name, bool follow, LoadError& error) {
  const int flags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
  for (;;) {
    const int fd = ::openat(descriptor(folder), name, flags);
    if (fd >= 0) return fd;
    if (errno == EINTR || raise_open_limit()) continue;
    error = error_from_errno();
    return -1;
  }
}

LoadError look_at_open(std::intptr_t handle, FileInfo& info) {
  struct stat s;
#if defined(__linux__) && defined(__x86_64__)
  // The system call itself: the C libraries make fstat() an fstatat() of an empty path, which the
  // kernel takes longer over, and this is made for every file listed.
  if (::syscall(SYS_fstat, static_cast<int>(handle), &s) != 0) return error_from_errno();
#else
  if (::fstat(static_cast<int>(handle), &s) != 0) return error_from_errno();
#endif
  info = info_of(s);
  return LoadError::none;
}

bool try_shared_lock(std::intptr_t handle) {
  return try_flock(static_cast<int>(handle), LOCK_SH) == Lock::taken;
}

std::optional<std::size_t> read_open_at(std::intptr_t handle, std::uint64_t offset,
                                        std::span<char> buffer, LoadError& error) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::pread(static_cast<int>(handle), buffer.data() + got, buffer.size() - got,
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      // pread reads nothing from a FIFO, socket or folder.
      error = errno == ESPIPE || errno == EISDIR ? LoadError::not_regular : LoadError::read_failed;
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void close_open(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

Folder open_folder(Folder parent, const char* name, bool follow, LoadError& error) {
  const int flags = O_RDONLY | O_DIRECTORY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC |
                    (follow ? 0 : O_NOFOLLOW);
  for (;;) {
    const int fd = ::openat(descriptor(parent), name, flags);
    if (fd >= 0) return {fd};
    if (errno == EINTR || raise_open_limit()) continue;
    // Not a folder, or (not followed) a link: ENOTDIR, ELOOP.
    error = errno == ENOTDIR || errno == ELOOP ? LoadError::not_regular : error_from_errno();
    return {};
  }
}

std::optional<std::vector<FolderEntry>> list_folder(Folder folder, LoadError& error) {
  // The stream reads a descriptor of its own, so that the folder's stays for opening names in it.
  const int own = ::fcntl(static_cast<int>(folder.handle), F_DUPFD_CLOEXEC, 0);
  DIR* stream = own >= 0 ? ::fdopendir(own) : nullptr;
  if (stream == nullptr) {
    error = error_from_errno();
    if (own >= 0) ::close(own);
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;  // readdir() tells its end from a failure by errno alone
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FileInfo::Kind kind = entry->d_type == DT_REG   ? FileInfo::Kind::regular
                          : entry->d_type == DT_DIR ? FileInfo::Kind::folder
                          : entry->d_type == DT_LNK ? FileInfo::Kind::link
                                                    : FileInfo::Kind::other;
    FileInfo info;
    if (entry->d_type == DT_UNKNOWN &&
        look_at(folder, entry->d_name, false, info) == LoadError::none) {
      kind = info.kind;
    }
    entries.push_back({std::string(name), kind});
  }
  const int why = errno;
  ::closedir(stream);
  if (why != 0) {
    errno = why;
    error = error_from_errno();
    return std::nullopt;
  }
  return entries;
}

void close_folder(Folder folder) {
  if (folder.handle >= 0) ::close(static_cast<int>(folder.handle));
}

std::string_view folder_separators() { return "/"; }

LoadError load_standard_input(std::string& buffer, std::uint64_t limit) {
  struct stat info;
  if (::fstat(0, &info) == 0 && S_ISDIR(info.st_mode)) return LoadError::is_directory;
  // A pipe tells no size: read until its end, a chunk at a time, up to the limit.
  constexpr std::size_t chunk = 64 << 10;
  buffer.clear();
  for (;;) {
    if (buffer.size() > limit) return LoadError::too_large;
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
