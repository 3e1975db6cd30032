// The console on POSIX systems: standard output and standard error are descriptors 1 and 2.

#include "console/console.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace ostrel {

bool claim_standard_streams() {
  // Without this, a reader that has gone away (ostrel ... | true) kills the run with SIGPIPE in
  // the middle of its report, and the exit status no longer says what happened to the file; and a
  // write past the file-size limit kills it with SIGXFSZ halfway through its edits, where the
  // write can simply fail and be reported.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  // One call finds every closed stream: poll marks a descriptor that is not open POLLNVAL.
  pollfd streams[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  if (::poll(streams, 3, 0) < 0) return false;
  for (const pollfd& stream : streams) {
    if ((stream.revents & POLLNVAL) == 0) continue;
    // open() takes the lowest free number, which is this stream's: those below are open by now.
    if (::open("/dev/null", O_RDWR) != stream.fd) return false;
  }
  return true;
}

Shell system_shell() { return Shell::sh; }

bool is_system_help_word(std::string_view) { return false; }

std::string_view path_escapes() { return "\\"; }

bool is_terminal(int fd) { return ::isatty(fd) == 1; }

Charset terminal_charset() {
  // The locale's character set, as setlocale() would choose it, without loading the locale: the
  // first of these that is set and not empty names it, and only UTF-8 shows more than ASCII.
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale = value;
    for (const std::string_view utf8 : {"UTF-8", "utf-8", "UTF8", "utf8"}) {
      if (locale.find(utf8) != std::string_view::npos) return Charset::utf8;
    }
    return Charset::ascii;
  }
  return Charset::ascii;
}

bool write_stream(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace ostrel
