#pragma once
// The command that makes a mend, as --mends prints it for the system's shell: its words, and each
// word quoted for POSIX sh or for cmd, so that the shell reaches exactly the file's bytes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "show/check.h"

namespace ostrel {

/// The program and arguments that make `mend` on the file `path`: ostrel -ti where it rewrites
/// the signature of a file whose name it takes as it is, ostrel-show --fix for everything else.
std::vector<std::string> mend_command(const Mend& mend, std::string_view path);

/// `word` as one word of POSIX sh (dash, bash, zsh, busybox sh): bare where it is plain, in
/// single quotes otherwise, and each byte that a line cannot carry, a terminal would act on, that
/// is not UTF-8 or, where `charset` is ASCII, that is beyond it, made by printf. None where no
/// quoting can carry it (a word ending in a line feed).
std::optional<std::string> sh_word(std::string_view word, Charset charset);

/// `word` as one word of cmd, and of cmd's for /f: in double quotes, which no Windows name holds,
/// and within which % ! & ^ stand for themselves there.
std::optional<std::string> cmd_word(std::string_view word);

/// The words as one command line for `shell`; empty where a word cannot be carried.
std::string command_line(const std::vector<std::string>& words, Shell shell, Charset charset);

}  // namespace ostrel
