#include "show/mend.h"

#include <cstdint>

#include "varfile/extension.h"

namespace ostrel {

namespace {

constexpr std::string_view plain =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/-+,:@";

bool is_plain_word(std::string_view word) {
  return !word.empty() && word.find_first_not_of(plain) == std::string_view::npos;
}

}  // namespace

std::vector<std::string> mend_command(const Mend& mend, std::string_view path) {
  if (mend.kind == Mend::Kind::sign && is_known_extension(extension_of(path))) {
    return {"ostrel", "-q", "-ti", std::string(mend.device), std::string(path)};
  }
  return {"ostrel-show", "-q", "--fix", "--", std::string(path)};
}

std::optional<std::string> sh_word(std::string_view word, Charset charset) {
  if (is_plain_word(word)) return std::string(word);
  // Single quotes, where every byte but the quote stands for itself, ' as '\''. Any other byte is
  // printed by printf in octal, "$(printf '\NNN')", so that the command is one line of printable
  // text; as a command substitution drops the line feeds it ends with, a piece never ends in
  // one, but takes the next byte along.
  const auto shown = [charset](const Utf8Char& c) {
    return c.length > 0 && !is_unseen(c.code) && (charset == Charset::utf8 || c.code < 0x80);
  };
  std::string quoted;
  bool in_quotes = false;
  for (std::size_t i = 0; i < word.size();) {
    const Utf8Char c = utf8_char_at(word, i);
    if (shown(c)) {
      if (!in_quotes) quoted += '\'';
      in_quotes = true;
      quoted += c.code == '\'' ? "'\\''" : word.substr(i, c.length);
      i += c.length;
      continue;
    }
    if (in_quotes) quoted += '\'';
    in_quotes = false;
    quoted += "\"$(printf '";
    for (bool piece = true; piece; ++i) {
      const auto byte = static_cast<std::uint8_t>(word[i]);
      quoted += {'\\', static_cast<char>('0' + (byte >> 6)),
                 static_cast<char>('0' + (byte >> 3 & 7)), static_cast<char>('0' + (byte & 7))};
      const Utf8Char next = i + 1 < word.size() ? utf8_char_at(word, i + 1) : Utf8Char{0, 1};
      // The rest of a character, read from the middle, starts none: it goes with its first byte.
      piece = i + 1 < word.size() && (byte == '\n' || !shown(next));
    }
    if (word[i - 1] == '\n') return std::nullopt;  // the word ends in a line feed
    quoted += "')\"";
  }
  if (in_quotes) quoted += '\'';
  return quoted;
}

std::optional<std::string> cmd_word(std::string_view word) {
  if (is_plain_word(word)) return std::string(word);
  std::string quoted = "\"";
  quoted.append(word) += '"';
  return quoted;
}

std::string command_line(const std::vector<std::string>& words, Shell shell, Charset charset) {
  std::string line;
  for (const std::string& word : words) {
    const std::optional<std::string> quoted =
        shell == Shell::cmd ? cmd_word(word) : sh_word(word, charset);
    if (!quoted) return {};
    line += line.empty() ? *quoted : " " + *quoted;
  }
  return line;
}

}  // namespace ostrel
