#pragma once
// ostrel-show's work: every file of the request read and listed, problems reported.

#include "console/console.h"
#include "show/command_line.h"

namespace ostrel {

enum class ShowStatus { all_good, some_failed };

/// Lists every file of the request, for a terminal that shows `charset`, mends written for
/// `shell`; problems go to standard error, each naming its file. Stops at a listing that cannot
/// be written.
ShowStatus list_files(const ShowRequest& request, Console& console, Charset charset, Shell shell);

/// Writes what is left of standard output; false, saying so on standard error, when it could not
/// all be written.
bool finish_output(Console& console);

}  // namespace ostrel
