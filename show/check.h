#pragma once
// ostrel-show --check: what is wrong with a file before it meets a calculator, each problem with
// a code that stays, and where it can be mended, how: what --fix does, and the command that does
// the same.

#include <string>
#include <string_view>
#include <vector>

#include "console/display.h"
#include "varfile/flash_reader.h"
#include "varfile/load.h"
#include "varfile/var_reader.h"

namespace ostrel {

/// How a problem is mended.
struct Mend {
  enum class Kind {
    none,
    sign,      // the signature rewritten for `device`, the name kept, as ostrel -ti does
    rename,    // the file renamed to `path`, in its folder, its bytes untouched
    one_name,  // the file's other name `path`, in its folder, made its only one
  };
  Kind kind = Kind::none;
  std::string_view device = {};  // sign: "89", "9x" or "v2"
  std::string path = {};         // rename, one_name
};

/// What --fix made of a problem.
enum class Fixed { not_tried, fixed, not_fixed };

struct Problem {
  std::string_view code;  // checksum, signature-vs-name, type-vs-name, length or entries
  std::string message;    // what is wrong, for people
  Mend mend = {};
  std::string no_mend = {};  // why there is none where the file could otherwise be mended
  std::vector<std::string> mend_args = {};  // the command that mends it: program and arguments
  std::string command = {};  // the same for the system's shell
  Fixed fixed = Fixed::not_tried;
  std::string not_fixed = {};  // why --fix could not
};

/// The problems of the variable file `path` whose whole content is `bytes`, read as `contents`
/// (a file the reader refused has the problem that made it refuse, where that is one of these),
/// and whose other names `names` tells; `twin`, where not empty, is another name of the same file
/// in its folder, as an interrupted rename leaves it. Names and folders in the messages are shown
/// for `charset`.
std::vector<Problem> variable_file_problems(std::string_view path, std::string_view bytes,
                                            const VarContents& contents, const LoadedNames& names,
                                            std::string_view twin, Charset charset);

/// The problems of the Flash file `path`, read as `contents`.
std::vector<Problem> flash_file_problems(std::string_view path, const FlashContents& contents);

/// The names another name of the file `path` has, where an interrupted rename left it: the same
/// folder and name, the device prefix another, the type letter the same or that of `type`.
std::vector<std::string> twin_candidates(std::string_view path, std::uint8_t type);

/// One line per problem: the path shown for `charset`, the code, the message, and the mend, why
/// there is none, or what --fix made of it.
std::string problem_lines(std::string_view path, const std::vector<Problem>& problems,
                          Charset charset, bool quiet);

}  // namespace ostrel
