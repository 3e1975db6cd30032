// File access on Windows: opening, locking, positioned writes and the no-replace rename of the
// file an edit holds, the hold of interruptions, and the reader's calls, which open names in a
// folder held open (NtCreateFile's root folder). Paths arrive as UTF-8 (the manifest sets the
// process code page) and are widened for the wide calls.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <winternl.h>

#include "varfile/charset.h"
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

// `text` in UTF-16, as the wide calls take it; with `strict`, empty when it is not valid UTF-8.
std::wstring widen(std::string_view text, bool strict) {
  const std::u16string wide = utf16_of(text, strict);
  return {wide.begin(), wide.end()};
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

std::optional<VarFile> VarFile::open(const char* path, Clock::time_point give_up,
                                     const FileInfo* known) {
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
  if (known != nullptr && (known->device != file.device_ || known->inode != file.inode_)) {
    return std::nullopt;  // not the file looked at: another took its name meanwhile
  }
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

bool VarFile::had_other_names() const { return has_other_names(); }

bool VarFile::has_other_names() const {
  BY_HANDLE_FILE_INFORMATION info;
  return !::GetFileInformationByHandle(as_handle(handle_), &info) || info.nNumberOfLinks > 1;
}

bool VarFile::name_is_link() const {
  if (!name_is_link_) {
    const DWORD attributes = ::GetFileAttributesW(widen_path(name_).c_str());
    name_is_link_ =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  return *name_is_link_;
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
  if (!name_is_link()) {
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
  LoadError error = LoadError::none;
  return read_open_at(handle_, offset, buffer, error);
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

std::optional<VarFile> VarFile::open_in(Folder, const char*, const char* path,
                                        const FileInfo* known, Clock::time_point give_up) {
  return open(path, give_up, known);  // names are looked at by their whole path
}

namespace {

// Why a name could not be looked at or opened, from a Windows error.
LoadError error_from(DWORD why) {
  switch (why) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return LoadError::not_found;
    case ERROR_ACCESS_DENIED: return LoadError::access_denied;
    case ERROR_DIRECTORY: return LoadError::not_regular;  // not a folder
    case ERROR_TOO_MANY_OPEN_FILES: return LoadError::too_many_open;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return LoadError::locked;
    default: return LoadError::read_failed;
  }
}

// Opens `name` in `folder` with `access` and NtCreateFile's `options`; a whole path, from the
// current folder. Unless `follow`, a final reparse point is opened itself. Null, with `error`,
// where it cannot be.
HANDLE open_name(Folder folder, const char* name, ACCESS_MASK access, ULONG options, bool follow,
                 LoadError& error) {
  const std::wstring wide = widen_path(name);
  if (wide.empty() || windows_would_change(name)) {
    error = LoadError::not_found;
    return nullptr;
  }
  if (!follow) options |= FILE_OPEN_REPARSE_POINT;
  if (folder.handle == -1) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS |
        ((options & FILE_OPEN_REPARSE_POINT) != 0 ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE file =
        ::CreateFileW(wide.c_str(), access, share_all, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    error = error_from(::GetLastError());
    return nullptr;
  }
  UNICODE_STRING object{static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                        static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(wide.c_str())};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object, OBJ_CASE_INSENSITIVE,
                             reinterpret_cast<HANDLE>(folder.handle), nullptr);
  IO_STATUS_BLOCK status;
  HANDLE file = nullptr;
  const NTSTATUS result = ::NtCreateFile(
      &file, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, share_all, FILE_OPEN,
      options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, 0);
  if (result >= 0) return file;
  error = error_from(::RtlNtStatusToDosError(result));
  return nullptr;
}

// What the open file is: a reparse point is a link; only a disk file that is no folder is
// regular.
bool info_of(HANDLE file, FileInfo& info) {
  BY_HANDLE_FILE_INFORMATION about;
  const DWORD type = ::GetFileType(file);
  if (type != FILE_TYPE_DISK) {
    info.kind = FileInfo::Kind::other;  // a device, a pipe
    return true;
  }
  if (!::GetFileInformationByHandle(file, &about)) return false;
  info.kind = (about.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileInfo::Kind::link
              : (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileInfo::Kind::folder
                                                                         : FileInfo::Kind::regular;
  info.device = about.dwVolumeSerialNumber;
  info.inode = (std::uint64_t{about.nFileIndexHigh} << 32) | about.nFileIndexLow;
  info.size = (std::uint64_t{about.nFileSizeHigh} << 32) | about.nFileSizeLow;
  info.links = about.nNumberOfLinks;
  return true;
}

}  // namespace

LoadError look_at(Folder folder, const char* name, bool follow, FileInfo& info) {
  LoadError error = LoadError::none;
  const HANDLE file = open_name(folder, name, FILE_READ_ATTRIBUTES, 0, follow, error);
  if (file == nullptr) return error;
  const bool known = info_of(file, info);
  ::CloseHandle(file);
  return known ? LoadError::none : LoadError::read_failed;
}

std::intptr_t open_for_reading(Folder folder, const char* name, bool follow, LoadError& error) {
  const HANDLE file =
      open_name(folder, name, GENERIC_READ, FILE_NON_DIRECTORY_FILE, follow, error);
  return file == nullptr ? -1 : reinterpret_cast<std::intptr_t>(file);
}

LoadError look_at_open(std::intptr_t handle, FileInfo& info) {
  return info_of(as_handle(handle), info) ? LoadError::none : LoadError::read_failed;
}

bool try_shared_lock(std::intptr_t handle) {
  OVERLAPPED whole{};
  return ::LockFileEx(as_handle(handle), LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &whole) ||
         ::GetLastError() != ERROR_LOCK_VIOLATION;
}

std::optional<std::size_t> read_open_at(std::intptr_t handle, std::uint64_t offset,
                                        std::span<char> buffer, LoadError& error) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + got);
    at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
    DWORD n = 0;
    if (!::ReadFile(as_handle(handle), buffer.data() + got,
                    static_cast<DWORD>(std::min<std::size_t>(buffer.size() - got, MAXDWORD)), &n,
                    &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      error = LoadError::read_failed;
      return std::nullopt;
    }
    if (n == 0) break;
    got += n;
  }
  return got;
}

void close_open(std::intptr_t handle) { ::CloseHandle(as_handle(handle)); }

Folder open_folder(Folder parent, const char* name, bool follow, LoadError& error) {
  const HANDLE folder = open_name(parent, name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_DIRECTORY_FILE, follow, error);
  if (folder == nullptr) return {};
  // A reparse point (a link, a junction) not followed, or what is no folder, is not walked.
  FileInfo info;
  if (!info_of(folder, info) || info.kind != FileInfo::Kind::folder) {
    ::CloseHandle(folder);
    error = LoadError::not_regular;
    return {};
  }
  return {reinterpret_cast<std::intptr_t>(folder)};
}

std::optional<std::vector<FolderEntry>> list_folder(Folder folder, LoadError& error) {
  std::vector<FolderEntry> entries;
  alignas(8) char chunk[64 << 10];
  for (FILE_INFO_BY_HANDLE_CLASS what = FileIdBothDirectoryRestartInfo;;
       what = FileIdBothDirectoryInfo) {
    if (!::GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(folder.handle), what, chunk,
                                        sizeof chunk)) {
      if (::GetLastError() == ERROR_NO_MORE_FILES) return entries;
      error = error_from(::GetLastError());
      return std::nullopt;
    }
    for (const char* at = chunk;;) {
      const auto* found = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      const std::wstring_view name(found->FileName, found->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        const int size = ::WideCharToMultiByte(
            CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), utf8.data(),
                              size, nullptr, nullptr);
        const DWORD kind = found->FileAttributes;
        entries.push_back({std::move(utf8), (kind & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                                                ? FileInfo::Kind::link
                                            : (kind & FILE_ATTRIBUTE_DIRECTORY) != 0
                                                ? FileInfo::Kind::folder
                                                : FileInfo::Kind::regular});
      }
      if (found->NextEntryOffset == 0) break;
      at += found->NextEntryOffset;
    }
  }
}

void close_folder(Folder folder) {
  if (folder.handle != -1) ::CloseHandle(reinterpret_cast<HANDLE>(folder.handle));
}

std::string_view folder_separators() { return "/\\"; }

LoadError load_standard_input(std::string& buffer, std::uint64_t limit) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return LoadError::read_failed;
  // A pipe tells no size: read until its end, a chunk at a time, up to the limit.
  constexpr DWORD chunk = 64 << 10;
  buffer.clear();
  for (;;) {
    if (buffer.size() > limit) return LoadError::too_large;
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
