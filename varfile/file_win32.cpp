// File access on Windows: opening, locking, positioned writes and the no-replace rename, and
// loading a whole file for reading. Paths arrive as UTF-8 (the manifest sets the process code
// page) and are widened for the wide calls.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "varfile/file.h"

namespace ostrel {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

using Clock = std::chrono::steady_clock;

std::atomic<bool> interrupts_held{false};

// Runs on a thread of its own when Ctrl+C, Ctrl+Break or a close comes: it waits for the hold to
// end, then passes the event on to the default handler, which ends the process.
BOOL WINAPI wait_for_release(DWORD) {
  while (interrupts_held.load()) ::Sleep(1);
  return FALSE;
}

// The last part of a path: what follows its last folder separator (or a drive's colon).
const char* last_part(const char* path) {
  const char* part = path;
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == '/' || *c == '\\' || *c == ':') part = c + 1;
  }
  return part;
}

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

// The volume and file index of an open file, and its number of names; false for anything but a
// regular disk file.
bool identify(HANDLE file, std::uint64_t& volume, std::uint64_t& index,
              std::uint64_t* links = nullptr) {
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  volume = info.dwVolumeSerialNumber;
  index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  if (links != nullptr) *links = info.nNumberOfLinks;
  return true;
}

// True when `path` names the file of `volume` and `index`.
bool names_file(const char* path, std::uint64_t volume, std::uint64_t index) {
  const HANDLE now = open_to_look(widen(path, true));
  if (now == INVALID_HANDLE_VALUE) return false;
  std::uint64_t now_volume = 0;
  std::uint64_t now_index = 0;
  const bool same =
      identify(now, now_volume, now_index) && now_volume == volume && now_index == index;
  ::CloseHandle(now);
  return same;
}

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Locks every byte the file may ever have (`flags` LOCKFILE_EXCLUSIVE_LOCK, or 0 for a shared
// lock). It is asked for without blocking, and again after a pause while another program holds
// one that conflicts, so that a holder that never lets go keeps the caller waiting only until
// `give_up`: false then. Where the filesystem has no locks, the caller goes on without one, as
// on POSIX systems: true. `waited` tells whether there was a wait.
bool lock_until(HANDLE file, DWORD flags, Clock::time_point give_up, bool& waited) {
  DWORD pause_ms = 1;
  waited = false;
  for (;;) {
    OVERLAPPED whole{};
    if (::LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
      return true;
    }
    if (::GetLastError() != ERROR_LOCK_VIOLATION) return true;
    if (Clock::now() >= give_up) return false;
    ::Sleep(pause_ms);
    pause_ms = std::min<DWORD>(pause_ms * 2, 100);
    waited = true;
  }
}

}  // namespace

InterruptHold::InterruptHold() {
  interrupts_held.store(true);
  ::SetConsoleCtrlHandler(wait_for_release, TRUE);
}

InterruptHold::~InterruptHold() {
  interrupts_held.store(false);
  ::SetConsoleCtrlHandler(wait_for_release, FALSE);
}

std::wstring widen(std::string_view text, bool strict) {
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
  return wide;
}

std::optional<VarFile> VarFile::open(const char* path, Clock::time_point give_up) {
  const std::wstring wide = widen_path(path);
  if (wide.empty() || windows_would_change(path)) return std::nullopt;
  VarFile file;
  file.give_up_ = give_up;
  file.name_ = path;  // names are looked at by their whole path; the handle itself is renamed
  // Looked at first through a handle that can neither read nor write, then reopened from that
  // handle, so that only the regular disk file looked at is ever opened for writing: never a
  // folder, a device such as NUL or CON, or a pipe. Folders fail the look itself.
  const HANDLE look = open_to_look(wide);
  if (look == INVALID_HANDLE_VALUE) return std::nullopt;
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (identify(look, file.device_, file.inode_)) {
    // Other runs may open it too, and then wait for the lock; deleting (renaming) is shared so
    // that the rename can happen while the file is open and locked, and asked for, so that this
    // handle can rename the file it holds.
    handle = ::ReOpenFile(look, GENERIC_READ | GENERIC_WRITE | DELETE, share_all, 0);
  }
  ::CloseHandle(look);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  file.handle_ = reinterpret_cast<std::intptr_t>(handle);
  file.through_link_ = file.name_is_link();
  return file;
}

VarFile::~VarFile() {
  if (handle_ != -1) ::CloseHandle(as_handle(handle_));
}

bool VarFile::lock() {
  // Exclusive: while it is held, another run waits and nothing else can write the file.
  bool waited = false;
  return lock_until(as_handle(handle_), LOCKFILE_EXCLUSIVE_LOCK, give_up_, waited) &&
         names_file(name_, device_, inode_);
}

bool VarFile::has_other_names() const {
  BY_HANDLE_FILE_INFORMATION info;
  return !::GetFileInformationByHandle(as_handle(handle_), &info) || info.nNumberOfLinks > 1;
}

bool VarFile::name_is_link() const {
  const DWORD attributes = ::GetFileAttributesW(widen_path(name_).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool VarFile::name_is_free(const char* path) const {
  // Attributes are those of a link itself, so a dangling link counts as taken.
  return ::GetFileAttributesW(widen_path(path).c_str()) == INVALID_FILE_ATTRIBUTES &&
         ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

namespace {

// Renames what `handle` holds, in the folder where it is now (as the handle tells it, whatever
// the path's folders name now), to the last part of `path`, never replacing a file.
bool rename_handle(HANDLE handle, const char* path) {
  const DWORD length =
      ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  std::wstring where(length, L'\0');
  const DWORD got = ::GetFinalPathNameByHandleW(handle, where.data(), length,
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  const std::wstring name = widen_path(last_part(path));
  if (length == 0 || got == 0 || got >= length || name.empty()) return false;
  where.resize(where.rfind(L'\\', got) + 1);  // "\\?\C:\games\" of "\\?\C:\games\game.89p"
  if (where.starts_with(L"\\\\?\\")) where.replace(0, 4, L"\\??\\");  // the system's own form
  where += name;
  const DWORD where_size = static_cast<DWORD>(where.size() * sizeof(wchar_t));
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + where_size, 0);  // ReplaceIfExists false
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->FileNameLength = where_size;
  std::memcpy(info->FileName, where.data(), where_size);
  return ::SetFileInformationByHandle(handle, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

VarFile::Renamed VarFile::rename_to(const char* path) {
  if (!through_link_) {
    if (!rename_handle(as_handle(handle_), path)) return Renamed::failed;
    name_ = path;
    return Renamed::done;
  }
  // Opened through a link: the link itself is renamed, as on POSIX systems, and must still lead
  // to the file held.
  const HANDLE link = ::CreateFileW(widen_path(name_).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    share_all, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr);
  if (link == INVALID_HANDLE_VALUE) return Renamed::failed;
  const bool renamed = rename_handle(link, path);
  ::CloseHandle(link);
  if (!renamed) return Renamed::failed;
  const char* from = name_;
  name_ = path;
  if (names_file(path, device_, inode_)) return Renamed::done;
  if (rename_to(from) == Renamed::done) name_ = from;
  return Renamed::not_this_file;
}

bool VarFile::keep_only_name(const char* path) {
  // The handle was opened by the file's own name: marked for deletion, it removes that name alone
  // when it is closed, the file keeping its other one.
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (std::string_view(last_part(path)) == last_part(name_) || !names_file(path, device_, inode_) ||
      !::SetFileInformationByHandle(as_handle(handle_), FileDispositionInfo, &dispose,
                                    sizeof dispose)) {
    return false;
  }
  name_ = path;
  return true;
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

namespace {

// Opens the regular file `path` for reading, looked at first, as for editing, so that no device
// or pipe is ever opened; its volume and index for names_file(). Null, `error` saying why, when
// that is not possible.
HANDLE open_for_reading(const std::wstring& path, std::uint64_t& volume, std::uint64_t& index,
                        std::uint64_t& links, LoadError& error) {
  const HANDLE look = open_to_look(path);
  if (look == INVALID_HANDLE_VALUE) {
    const DWORD why = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
      error = LoadError::not_found;
    } else if (attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      error = LoadError::is_directory;
    } else {
      error = why == ERROR_ACCESS_DENIED ? LoadError::access_denied : LoadError::read_failed;
    }
    return nullptr;
  }
  HANDLE file = nullptr;
  error = LoadError::not_regular;
  if (identify(look, volume, index, &links)) {
    file = ::ReOpenFile(look, GENERIC_READ, share_all, 0);
    if (file == INVALID_HANDLE_VALUE) {
      file = nullptr;
      error = ::GetLastError() == ERROR_ACCESS_DENIED ? LoadError::access_denied
                                                       : LoadError::read_failed;
    }
  }
  ::CloseHandle(look);
  return file;
}

// Reads the file whole, its size taken now, after any wait: no more than the limit is ever read,
// and memory that cannot be had is a failure to read, not the end of the run.
LoadError read_whole(HANDLE file, std::string& buffer) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) return LoadError::read_failed;
  if (static_cast<std::uint64_t>(size.QuadPart) > max_load_size) return LoadError::too_large;
  try {
    buffer.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    return LoadError::read_failed;
  }
  std::size_t got = 0;
  LoadError error = LoadError::none;
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
  return error;
}

}  // namespace

LoadError load_file(const char* path, std::string& buffer, Clock::time_point give_up,
                    LoadedNames& names) {
  const std::wstring wide = widen_path(path);
  if (wide.empty() || windows_would_change(path)) return LoadError::not_found;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  names.symbolic_link =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  for (;;) {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    LoadError error = LoadError::none;
    const HANDLE file = open_for_reading(wide, volume, index, names.links, error);
    if (file == nullptr) return error;
    bool waited = false;
    // A shared lock waits for an ostrel run that is editing the file, so no half-edited header
    // is listed; it ends with the handle. If the run renamed the file meanwhile, what the path
    // names now is listed, as a listing started now would.
    if (!lock_until(file, 0, give_up, waited)) {
      error = LoadError::locked;
    } else if (waited && !names_file(path, volume, index)) {
      ::CloseHandle(file);
      continue;
    } else {
      error = read_whole(file, buffer);
    }
    ::CloseHandle(file);
    return error;
  }
}

std::optional<std::vector<FolderEntry>> read_folder(const char* path, LoadError& error) {
  const std::wstring wide = widen_path(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (wide.empty() || attributes == INVALID_FILE_ATTRIBUTES) {
    error = LoadError::not_found;
    return std::nullopt;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = LoadError::not_regular;
    return std::nullopt;
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileExW((wide + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    error =
        ::GetLastError() == ERROR_ACCESS_DENIED ? LoadError::access_denied : LoadError::read_failed;
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), utf8.data(), size,
                          nullptr, nullptr);
    const DWORD kind = found.dwFileAttributes;
    entries.push_back(
        {std::move(utf8), (kind & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FolderEntry::Kind::link
                          : (kind & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FolderEntry::Kind::folder
                                                                     : FolderEntry::Kind::other});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
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
