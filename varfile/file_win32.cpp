// File access on Windows: opening, locking, positioned writes and the no-replace rename, and
// loading a whole file for reading. Paths arrive as UTF-8 (the manifest sets the process code
// page) and are widened for the wide calls.

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>

#include <windows.h>

#include "varfile/file.h"

namespace ostrel {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// `path` in UTF-16; empty when it is not valid UTF-8 (or is empty), which no file is named.
std::wstring widen_path(std::string_view path) { return widen(path, true); }

// Windows drops a trailing dot or space from each part of a path, so "game.89p." would open
// game.89p: such a name is refused rather than let it stand for another file.
bool windows_would_change(std::string_view path) {
  while (!path.empty()) {
    const std::size_t end = std::min(path.find_first_of("/\\"), path.size());
    const std::string_view part = path.substr(0, end);
    if (part != "." && part != ".." && (part.ends_with('.') || part.ends_with(' '))) return true;
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return false;
}

// Opens `path` with no access at all, which reads and writes nothing and serves to look at it.
HANDLE open_to_look(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), 0, share_all, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The volume and file index of an open file; false for anything but a regular disk file.
bool identify(HANDLE file, std::uint64_t& volume, std::uint64_t& index) {
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  volume = info.dwVolumeSerialNumber;
  index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The tick count (milliseconds) at which a wait that starts now gives up.
ULONGLONG lock_deadline() {
  return ::GetTickCount64() +
         static_cast<ULONGLONG>(std::chrono::milliseconds(lock_wait_limit).count());
}

// Locks every byte the file may ever have (`flags` LOCKFILE_EXCLUSIVE_LOCK, or 0 for a shared
// lock). It is asked for without blocking, and again after a pause while another program holds
// one that conflicts, so that a holder that never lets go keeps the caller waiting only until
// `give_up`: false then. Where the filesystem has no locks, the caller goes on without one, as
// on POSIX systems: true.
bool lock_until(HANDLE file, DWORD flags, ULONGLONG give_up) {
  DWORD pause_ms = 1;
  for (;;) {
    OVERLAPPED whole{};
    if (::LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
      return true;
    }
    if (::GetLastError() != ERROR_LOCK_VIOLATION) return true;
    if (::GetTickCount64() >= give_up) return false;
    ::Sleep(pause_ms);
    pause_ms = std::min<DWORD>(pause_ms * 2, 100);
  }
}

}  // namespace

std::wstring widen(std::string_view text, bool strict) {
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
  return wide;
}

std::optional<VarFile> VarFile::open(const char* path) {
  const std::wstring wide = widen_path(path);
  if (wide.empty() || windows_would_change(path)) return std::nullopt;
  // Looked at first through a handle that can neither read nor write, then reopened from that
  // handle, so that only the regular disk file looked at is ever opened for writing: never a
  // folder, a device such as NUL or CON, or a pipe. Folders fail the look itself.
  const HANDLE look = open_to_look(wide);
  if (look == INVALID_HANDLE_VALUE) return std::nullopt;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (identify(look, volume, index)) {
    // Other runs may open it too, and then wait for the lock; deleting (renaming) is shared so
    // that the rename can happen while the file is open and locked.
    file = ::ReOpenFile(look, GENERIC_READ | GENERIC_WRITE, share_all, 0);
  }
  ::CloseHandle(look);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return VarFile(reinterpret_cast<std::intptr_t>(file), volume, index);
}

VarFile::~VarFile() {
  if (handle_ != -1) ::CloseHandle(as_handle(handle_));
}

bool VarFile::lock(const char* path) {
  // Exclusive: while it is held, another run waits and nothing else can write the file.
  return lock_until(as_handle(handle_), LOCKFILE_EXCLUSIVE_LOCK, lock_deadline()) && is_at(path);
}

bool VarFile::is_at(const char* path) const {
  const HANDLE now = open_to_look(widen_path(path));
  if (now == INVALID_HANDLE_VALUE) return false;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  const bool same = identify(now, volume, index) && volume == device_ && index == inode_;
  ::CloseHandle(now);
  return same;
}

std::optional<std::size_t> VarFile::read_at(std::uint64_t offset, std::span<char> buffer) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + got);
    at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
    DWORD n = 0;
    if (!::ReadFile(as_handle(handle_), buffer.data() + got, static_cast<DWORD>(buffer.size() - got),
                    &n, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool VarFile::write_at(std::uint64_t offset, std::string_view bytes) {
  if (handle_ == -1) return false;
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD size = bytes.size() < MAXDWORD ? static_cast<DWORD>(bytes.size()) : MAXDWORD;
    DWORD written = 0;
    if (!::WriteFile(as_handle(handle_), bytes.data(), size, &written, &at) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
    offset += written;
  }
  return true;
}

bool VarFile::close() {
  if (handle_ == -1) return true;
  const HANDLE file = as_handle(handle_);
  handle_ = -1;
  return ::CloseHandle(file) != 0;
}

bool name_is_free(const char* path) {
  // Attributes are those of a link itself, so a dangling link counts as taken.
  return ::GetFileAttributesW(widen_path(path).c_str()) == INVALID_FILE_ATTRIBUTES &&
         ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool is_symbolic_link(const char* path) {
  const DWORD attributes = ::GetFileAttributesW(widen_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool rename_no_replace(const char* from, const char* to) {
  const std::wstring wide_from = widen_path(from);
  const std::wstring wide_to = widen_path(to);
  if (wide_from.empty() || wide_to.empty()) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
  return ::MoveFileExW(wide_from.c_str(), wide_to.c_str(), 0) != 0;
}

LoadError load_file(const char* path, std::string& buffer) {
  const std::wstring wide = widen_path(path);
  if (wide.empty() || windows_would_change(path)) return LoadError::not_found;
  // Looked at first, as for editing, so that no device or pipe is ever opened for reading.
  const HANDLE look = open_to_look(wide);
  if (look == INVALID_HANDLE_VALUE) {
    const DWORD why = ::GetLastError();
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) return LoadError::not_found;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return LoadError::is_directory;
    }
    return why == ERROR_ACCESS_DENIED ? LoadError::access_denied : LoadError::read_failed;
  }
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  LoadError error = LoadError::none;
  if (identify(look, volume, index)) {
    file = ::ReOpenFile(look, GENERIC_READ, share_all, 0);
    if (file == INVALID_HANDLE_VALUE) {
      error = ::GetLastError() == ERROR_ACCESS_DENIED ? LoadError::access_denied
                                                       : LoadError::read_failed;
    }
  } else {
    error = LoadError::not_regular;
  }
  ::CloseHandle(look);
  if (file == INVALID_HANDLE_VALUE) return error;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) {
    error = LoadError::read_failed;
  } else if (static_cast<std::uint64_t>(size.QuadPart) > max_load_size) {
    error = LoadError::too_large;
  } else if (!lock_until(file, 0, lock_deadline())) {
    // A shared lock waits for an ostrel run that is editing the file, so no half-edited header
    // is listed; it ends with the handle.
    error = LoadError::locked;
  } else {
    buffer.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < buffer.size()) {
      DWORD n = 0;
      if (!::ReadFile(file, buffer.data() + got, static_cast<DWORD>(buffer.size() - got), &n,
                      nullptr)) {
        error = LoadError::read_failed;
      }
      if (n == 0) break;
      got += n;
    }
    buffer.resize(got);
  }
  ::CloseHandle(file);
  return error;
}

LoadError load_standard_input(std::string& buffer) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return LoadError::read_failed;
  // A pipe tells no size: read until its end, a chunk at a time, up to the limit of a file.
  constexpr DWORD chunk = 64 << 10;
  buffer.clear();
  for (;;) {
    if (buffer.size() > max_load_size) return LoadError::too_large;
    const std::size_t got = buffer.size();
    buffer.resize(got + chunk);
    DWORD n = 0;
    const bool read = ::ReadFile(input, buffer.data() + got, chunk, &n, nullptr);
    buffer.resize(got + n);
    // A pipe whose writer has gone ends that way rather than with a read of nothing.
    if (!read) {
      return ::GetLastError() == ERROR_BROKEN_PIPE ? LoadError::none : LoadError::read_failed;
    }
    if (n == 0) return LoadError::none;
  }
}

}  // namespace ostrel
