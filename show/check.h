#pragma once
// ostrel-show --check: what is wrong with a file before it meets a calculator, each problem with
// a code that stays, and where ostrel can mend it, the command that does.

#include <string>
#include <string_view>
#include <vector>

#include "console/display.h"
#include "varfile/file.h"
#include "varfile/flash_reader.h"
#include "varfile/var_reader.h"

namespace ostrel {

struct Problem {
  std::string_view code;  // checksum, signature-vs-name, type-vs-name, length or entries
  std::string message;    // what is wrong, for people
  std::string mend = {};  // the command that mends it, for the system's shell; empty where none
  std::vector<std::string> mend_args = {};  // that command's program and arguments
  std::string_view no_mend = {};  // why there is none where ostrel could otherwise mend it
};

/// The problems of the variable file `path` whose whole content is `bytes`, read as `contents`
/// (a file the reader refused has the problem that made it refuse, where that is one of these),
/// and whose other names `names` tells. Names and folders in the messages are shown for
/// `charset`.
std::vector<Problem> variable_file_problems(std::string_view path, std::string_view bytes,
                                            const VarContents& contents, const LoadedNames& names,
                                            Charset charset);

/// The problems of the Flash file `path`, read as `contents`.
std::vector<Problem> flash_file_problems(std::string_view path, const FlashContents& contents);

/// One line per problem: the path shown for `charset`, the code, the message and the mend.
std::string problem_lines(std::string_view path, const std::vector<Problem>& problems,
                          Charset charset);

}  // namespace ostrel
