// ostrel: sets the destination, folder, name, comment and target device of a TI-68k variable file.

#include "app/command_line.h"
#include "app/console.h"
#include "app/edit_run.h"

int main(int argc, char** argv) {
  ostrel::Console console;
  const ostrel::ParseResult parsed = ostrel::parse_command_line(argc, argv);
  switch (parsed.error) {
    case ostrel::ParseError::none: break;
    case ostrel::ParseError::no_arguments:
      ostrel::print_usage(console);
      return 1;
    default:
      ostrel::print_banner(console);
      console.err(ostrel::parse_error_message(parsed));
      return 1;
  }
  return ostrel::run_edits(parsed.request, console) == ostrel::RunStatus::completed ? 0 : 1;
}
