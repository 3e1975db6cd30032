// ostrel-show: lists what TI-68k variable and Flash files hold.

#include "console/console.h"
#include "show/command_line.h"
#include "show/list.h"

#if defined(_WIN32)
// cmd leaves wildcards to the program: the C runtime expands them in the arguments (not in quoted
// ones), so that ostrel-show *.89p lists what a POSIX shell would give it.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
  ostrel::Console console;
  const ostrel::Charset charset = ostrel::terminal_charset();
  const ostrel::ShowParse parsed = ostrel::parse_show_command_line(argc, argv);
  if (parsed.error != ostrel::ShowParseError::none) {
    console.err(ostrel::show_parse_error_message(parsed, charset));
    return 2;
  }
  if (parsed.request.help) {
    ostrel::print_show_help(console);
  } else if (parsed.request.version) {
    ostrel::print_show_version(console);
  } else {
    return ostrel::list_files(parsed.request, console, charset, ostrel::system_shell()) == ostrel::ShowStatus::all_good
               ? 0
               : 1;
  }
  return ostrel::finish_output(console) ? 0 : 1;
}
