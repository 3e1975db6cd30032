#pragma once
// Every text ostrel-show writes but the listings themselves: the help and the version on standard
// output; on standard error, after "ostrel-show: " and, for a file, its name and ": ", the
// problems. The manual lists each of them.

#include <string_view>

namespace ostrel::show_msg {

inline constexpr std::string_view help =
    "Usage: ostrel-show [--json] [--check | --mends | --fix] [-q] [-r] [--] FILE...\n"
    "Lists what TI-68k variable and Flash files hold: for each variable, the calculator\n"
    "family, folder and name, type, destination, data size, checksum and comment; for\n"
    "each part of a Flash file, its family, name, kind, size, revision and date.\n"
    "\n"
    "  --json     one JSON array, with an object per file read\n"
    "  --check    list only problems, each with its code and, where it can be mended,\n"
    "             the command that does; a count of the files on standard error\n"
    "  --fix      as --check, and mend every problem that can be, as ostrel edits:\n"
    "             each line says whether it was fixed, or why not\n"
    "  --mends    as --check, but list only the commands that mend, one per line, for\n"
    "             the shell (sh; on Windows, cmd) to run, for review first\n"
    "  -q, --quiet\n"
    "             no line for a problem fixed, and no count of the files\n"
    "  -r, --recursive\n"
    "             walk each FILE that is a folder, and the folders in it, for files\n"
    "             named as TI-68k files are (.89p, .9xk, .V2S...), in name order\n"
    "  --help     show this help and exit (also -h)\n"
    "  --version  show the version and exit\n"
    "  --         end of options: every argument after it is a file\n"
    "\n"
    "Exit status: 0 when every file was read and every checksum is right (with --check,\n"
    "when no file has a problem; with --fix, when none is left), 1 otherwise, 2 for a\n"
    "bad command line.\n";
inline constexpr std::string_view version = "ostrel-show " OSTREL_VERSION "\n";

// A file that cannot be listed.
inline constexpr std::string_view no_such_file = "no such file";
inline constexpr std::string_view permission_denied = "permission denied";
inline constexpr std::string_view is_directory = "is a directory";
// Once, after the first folder given without -r.
inline constexpr std::string_view walk_hint = "-r walks a folder for the TI-68k files in it";
inline constexpr std::string_view not_regular = "not a regular file";
inline constexpr std::string_view too_large = "too large to be a TI-68k variable file";
inline constexpr std::string_view read_failed = "cannot be read";
inline constexpr std::string_view locked = "locked by another program";
inline constexpr std::string_view too_many_open = "cannot be opened: too many files are open";
inline constexpr std::string_view not_variable_file = "not a TI-68k variable file";
inline constexpr std::string_view not_ti68k_flash = "not a TI-68k Flash file";
inline constexpr std::string_view truncated = "truncated: the file ends before its header says";
inline constexpr std::string_view bad_offset = "damaged: a variable's offset is out of place";
inline constexpr std::string_view no_variables = "the file lists no variable";
// A variable listed, whose data does not add up to its checksum: after its folder\name.
inline constexpr std::string_view wrong_checksum = ": wrong checksum (stored 0x";

// ostrel-show --check: each problem's code, and its message, "%s" filled in order.
inline constexpr std::string_view code_checksum = "checksum";
inline constexpr std::string_view code_signature = "signature-vs-name";
inline constexpr std::string_view code_type = "type-vs-name";
inline constexpr std::string_view code_length = "length";
inline constexpr std::string_view code_entries = "entries";
inline constexpr std::string_view signature_vs_name = "is for the %s (%s), but named for the %s";
inline constexpr std::string_view type_vs_name =
    "holds %s %s (type 0x%s), whose letter is %s, not %s";
inline constexpr std::string_view cut_short = "cut short: its header says %s bytes, the file has %s";
inline constexpr std::string_view cut_in_header = "cut short: the file ends inside its header";
inline constexpr std::string_view bytes_after_end =
    "bytes after its end: its header says %s bytes, the file has %s";
inline constexpr std::string_view data_misplaced =
    "a variable's data lies outside the file or runs into another's";
inline constexpr std::string_view bad_attribute = "%s: attribute 0x%s is none of RAM, locked, archived";
inline constexpr std::string_view folder_count = "folder entry %s counts %s variables, %s follow it";
inline constexpr std::string_view mend = " (mend: %s)";
inline constexpr std::string_view no_mend = " (no mend: %s)";
inline constexpr std::string_view no_mend_link =
    "a symbolic link, whose own name may be for another device";
inline constexpr std::string_view no_mend_hard_link =
    "the file has another name, which may be for another device";
inline constexpr std::string_view no_mend_taken = "%s is taken";
inline constexpr std::string_view no_mend_cycle =
    "%s is taken by a file whose own mend needs this name";
inline constexpr std::string_view summary = "files checked: %s, with problems: %s";
inline constexpr std::string_view fix_summary = "files checked: %s, with problems: %s, fixed: %s";
// ostrel-show --fix: what it made of each problem it could mend.
inline constexpr std::string_view fixed = " (fixed)";
inline constexpr std::string_view fixed_renamed = " (fixed: now named %s)";
inline constexpr std::string_view not_fixed = " (not fixed: %s)";
inline constexpr std::string_view fix_cannot_open = "it cannot be opened for writing, or is locked";
inline constexpr std::string_view fix_changed = "it changed meanwhile";
inline constexpr std::string_view fix_cannot_write = "it cannot be written";
inline constexpr std::string_view fix_cannot_rename = "it cannot be renamed to %s";
inline constexpr std::string_view fix_other_name = "it has another name now";

// The listing, and the command line.
inline constexpr std::string_view cannot_write = "cannot write to standard output";
inline constexpr std::string_view no_files = "no file given";
inline constexpr std::string_view unknown_option = "unknown option '";
inline constexpr std::string_view try_help = "Try 'ostrel-show --help' for more information.";

}  // namespace ostrel::show_msg
