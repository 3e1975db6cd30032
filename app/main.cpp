// ostrel: sets the destination, folder, name, comment and target device of a TI-68k variable file.

#include "app/command_line.h"
#include "console/console.h"
#include "app/edit_run.h"

#if defined(_WIN32)
// cmd leaves wildcards to the program: the C runtime expands them in the arguments (not in quoted
// ones), so that ostrel *.89p means what a POSIX shell would make of it.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
  // First of all, so that the variable file can never be given a console stream's descriptor.
  if (!ostrel::claim_standard_streams()) return 1;
  ostrel::Console console;
  const ostrel::ParseResult parsed = ostrel::parse_command_line(argc, argv);
  switch (parsed.info) {
    case ostrel::InfoRequest::usage: ostrel::print_usage(console); return 0;
    case ostrel::InfoRequest::version: ostrel::print_version(console); return 0;
    case ostrel::InfoRequest::none: break;
  }
  switch (parsed.error) {
    case ostrel::ParseError::none:
      return ostrel::run_edits(parsed.request, console) == ostrel::RunStatus::completed ? 0 : 1;
    case ostrel::ParseError::no_arguments:
    case ostrel::ParseError::missing_input_path:
      ostrel::print_usage(console);
      break;
    default:
      ostrel::print_banner(console);
      break;
  }
  // The argument an error names (a path, as a rule) shows escaped where it reaches a terminal.
  ostrel::ParseResult shown = parsed;
  const std::string offending = console.err_text(parsed.offending);
  shown.offending = offending;
  console.err(ostrel::parse_error_message(shown));
  return 1;
}
