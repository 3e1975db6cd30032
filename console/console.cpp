#include "console/console.h"

#include <cstring>

namespace ostrel {

namespace {

// Hands `sink` the pieces of `pattern` with its placeholders replaced by `args`. A placeholder
// without a value left, and any other "%", is kept as text.
template <typename Sink>
void fill_placeholders(std::string_view pattern, MessageArgs args, Sink&& sink) {
  auto arg = args.begin();
  while (!pattern.empty()) {
    const auto percent = pattern.find('%');
    sink(pattern.substr(0, percent));
    if (percent == std::string_view::npos) return;
    pattern.remove_prefix(percent);
    std::size_t placeholder = 0;
    if (pattern.starts_with("%s")) placeholder = 2;
    if (pattern.starts_with("%02i")) placeholder = 4;
    if (placeholder == 0 || arg == args.end()) {
      sink(pattern.substr(0, 1));
      pattern.remove_prefix(1);
      continue;
    }
    sink(*arg++);
    pattern.remove_prefix(placeholder);
  }
}

}  // namespace

std::string format_message(std::string_view pattern, MessageArgs args) {
  std::string result;
  fill_placeholders(pattern, args, [&](std::string_view piece) { result.append(piece); });
  return result;
}

std::string two_digits(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return digits;
}

void Console::out(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > pending_.size() - used_) {
    flush();
    if (text.size() > pending_.size()) {
      out_failed_ = !write_stream(out_fd_, text) || out_failed_;
      return;
    }
  }
  std::memcpy(pending_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void Console::out(std::string_view pattern, MessageArgs args) {
  fill_placeholders(pattern, args, [this](std::string_view piece) { out(piece); });
}

void Console::err(std::string_view text) {
  flush();
  write_stream(err_fd_, text);
}

std::string Console::shown(int fd, signed char& terminal, std::string_view text) {
  if (plain_run(text, 0, path_escapes()) == text.size()) return std::string(text);  // none to escape
  if (terminal < 0) terminal = is_terminal(fd) ? 1 : 0;
  if (terminal == 0) return std::string(text);
  std::string shown;
  append_shown(shown, text, terminal_charset(), path_escapes());
  return shown;
}

void Console::flush() {
  if (used_ == 0) return;
  out_failed_ = !write_stream(out_fd_, {pending_.data(), used_}) || out_failed_;
  used_ = 0;
}

}  // namespace ostrel
