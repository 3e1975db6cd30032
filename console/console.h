#pragma once
// Console output: standard output is gathered in a fixed buffer and written in one go; standard
// error is written at once, after whatever standard output holds, so that a reader of both streams
// (a terminal, one pipe or one file) sees the messages in the order the program produced them.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "console/display.h"

namespace ostrel {

using MessageArgs = std::initializer_list<std::string_view>;

/// `pattern` with each "%s" and "%02i" replaced by the next of `args`, in order.
std::string format_message(std::string_view pattern, MessageArgs args);

/// `number` in decimal with at least two digits, as "%02i" prints it.
std::string two_digits(int number);

// The platform's side of the console, one file per OS.

/// Readies the standard streams before anything else is opened: a closed one is opened on the
/// null device (so no file can take its number and receive console text), and a reader that has
/// gone away makes writes fail instead of ending the process, as does a write past the file-size
/// limit (ulimit -f). False when that is impossible.
[[nodiscard]] bool claim_standard_streams();

/// The shell the system's users type commands into: POSIX sh, or cmd on Windows.
enum class Shell { sh, cmd };
Shell system_shell();

/// True for a word that asks a program for help on this system besides --help and -h: "/?" on
/// Windows; none elsewhere, where it may name a file.
bool is_system_help_word(std::string_view word);

/// True when stream `fd` (1 or 2) is a terminal (on Windows, a console).
bool is_terminal(int fd);

/// The characters the user's terminal shows: on POSIX systems, UTF-8 where the locale's
/// variables (LC_ALL, LC_CTYPE, LANG, the first set) name it, ASCII otherwise (the C locale);
/// on Windows, whose console takes Unicode, UTF-8.
Charset terminal_charset();

/// Writes all of `text` to stream `fd` (1 or 2) as far as it goes; false when it did not all go.
/// The editor's console is best effort, so a closed, full or abandoned stream never stops an edit.
bool write_stream(int fd, std::string_view text);

class Console {
 public:
  explicit Console(int out_fd = 1, int err_fd = 2) : out_fd_(out_fd), err_fd_(err_fd) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console() { flush(); }

  /// Appends `text` to standard output.
  void out(std::string_view text);
  /// Appends `pattern` with its placeholders filled, as format_message() does.
  void out(std::string_view pattern, MessageArgs args);
  /// Writes `text` to standard error, after what standard output holds.
  void err(std::string_view text);
  void flush();
  /// True once a write to standard output has failed.
  bool out_failed() const { return out_failed_; }
  /// `text` (a path or a value) as a message on standard output or error shows it: as it is, but
  /// where that stream is a terminal, what the terminal would act on or a reader could not see
  /// escaped, and where the locale's character set is not UTF-8, all beyond ASCII, as paths are
  /// shown to people.
  std::string out_text(std::string_view text) { return shown(out_fd_, out_terminal_, text); }
  std::string err_text(std::string_view text) { return shown(err_fd_, err_terminal_, text); }

 private:
  std::string shown(int fd, signed char& terminal, std::string_view text);

  int out_fd_;
  int err_fd_;
  // Large enough for the usage text and any normal run, so that a run costs one write and no
  // heap allocation; longer output is written as the buffer fills.
  std::array<char, 4096> pending_;
  std::size_t used_ = 0;
  bool out_failed_ = false;
  signed char out_terminal_ = -1;  // whether each stream is a terminal; -1 until asked
  signed char err_terminal_ = -1;
};

}  // namespace ostrel
