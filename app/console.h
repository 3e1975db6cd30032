#pragma once
// Console output: standard output is gathered and written in one go; standard error is written at
// once, after whatever standard output holds, so that a reader of both streams (a terminal, one
// pipe or one file) sees the messages in the order the program produced them.

#include <initializer_list>
#include <string>
#include <string_view>

namespace ostrel {

/// `pattern` with each "%s" and "%02i" replaced by the next of `args`, in order.
std::string format_message(std::string_view pattern, std::initializer_list<std::string_view> args);

/// `number` in decimal with at least two digits, as "%02i" prints it.
std::string two_digits(int number);

class Console {
 public:
  explicit Console(int out_fd = 1, int err_fd = 2) : out_fd_(out_fd), err_fd_(err_fd) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console() { flush(); }

  void out(std::string_view text) { pending_.append(text); }
  void err(std::string_view text);
  void flush();

 private:
  int out_fd_;
  int err_fd_;
  std::string pending_;
};

}  // namespace ostrel
