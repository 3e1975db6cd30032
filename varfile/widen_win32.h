#pragma once
// Windows only: UTF-8, the text of every argument and message, as the UTF-16 of the wide calls.

#include <string>
#include <string_view>

#include <windows.h>

namespace ostrel {

/// `text` in UTF-16. With `flags` MB_ERR_INVALID_CHARS, empty when it is not valid UTF-8;
/// with 0, invalid bytes become U+FFFD.
inline std::wstring widen(std::string_view text, DWORD flags) {
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace ostrel
