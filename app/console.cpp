#include "app/console.h"

#include <cerrno>

#include <unistd.h>

namespace ostrel {

namespace {

// The console is best effort: a closed or full output stream must not stop the edit.
void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

std::string format_message(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string result;
  auto arg = args.begin();
  while (!pattern.empty()) {
    const auto percent = pattern.find('%');
    result.append(pattern.substr(0, percent));
    if (percent == std::string_view::npos) break;
    pattern.remove_prefix(percent);
    std::size_t placeholder = 0;
    if (pattern.starts_with("%s")) placeholder = 2;
    if (pattern.starts_with("%02i")) placeholder = 4;
    if (placeholder == 0 || arg == args.end()) {
      result.push_back('%');
      pattern.remove_prefix(1);
      continue;
    }
    result.append(*arg++);
    pattern.remove_prefix(placeholder);
  }
  return result;
}

std::string two_digits(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return digits;
}

void Console::err(std::string_view text) {
  flush();
  write_all(err_fd_, text);
}

void Console::flush() {
  write_all(out_fd_, pending_);
  pending_.clear();
}

}  // namespace ostrel
