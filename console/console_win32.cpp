// The console on Windows: stream 1 is the standard output handle, stream 2 standard error.

#include "console/console.h"

#include <string>

#include <windows.h>


namespace ostrel {

bool claim_standard_streams() {
  // Nothing to do: Windows never gives a file a standard stream's place, and a write to a pipe
  // whose reader has gone simply fails.
  return true;
}

Shell system_shell() { return Shell::cmd; }

bool is_system_help_word(std::string_view word) { return word == "/?"; }

std::string_view path_escapes() { return ""; }

bool is_terminal(int fd) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), &mode) != 0;
}

// The manifest makes the process code page UTF-8, and the console is written in UTF-16.
Charset terminal_charset() { return Charset::utf8; }

bool write_stream(int fd, std::string_view text) {
  const HANDLE stream = ::GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (text.empty()) return true;
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (::GetConsoleMode(stream, &mode)) {
    // A console shows text only as UTF-16: the UTF-8 bytes are widened for it. Redirected, the
    // stream gets the bytes themselves, the same as on every other system.
    const std::u16string utf16 = utf16_of(text, false);
    const std::wstring wide(utf16.begin(), utf16.end());
    for (std::wstring_view rest = wide; !rest.empty();) {
      DWORD written = 0;
      if (!::WriteConsoleW(stream, rest.data(), static_cast<DWORD>(rest.size()), &written,
                           nullptr) ||
          written == 0) {
        return false;
      }
      rest.remove_prefix(written);
    }
    return true;
  }
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace ostrel
