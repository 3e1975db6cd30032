#include "varfile/rename.h"

#include <string>

#include <windows.h>

namespace ostrel {

namespace {

// Widens a path given in the active code page, the one the command line arrived in; this is the
// same conversion the system's narrow-string calls make.
std::wstring widen(const char* path) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
  wide.pop_back();  // the terminating zero counted in `length`
  return wide;
}

}  // namespace

bool rename_no_replace(const char* from, const char* to) {
  const std::wstring wide_from = widen(from);
  const std::wstring wide_to = widen(to);
  if (wide_from.empty() || wide_to.empty()) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
  return ::MoveFileExW(wide_from.c_str(), wide_to.c_str(), 0) != 0;
}

}  // namespace ostrel
