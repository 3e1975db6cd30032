#pragma once
// The console texts the black-box tests expect, written out independently of the program's own:
// the only place the tests spell them.

#include <string>
#include <utility>
#include <vector>

namespace ostrel::testing {

inline const std::string banner =
    "Ostrel " OSTREL_VERSION " - command line tool to set TI68k variable file properties\n"
    "Copyright (C) the ostrel authors, released 2026-12-08\n";

// The usage text as a table of (leading spaces, text) lines.
inline std::string expected_usage() {
  const std::vector<std::pair<int, std::string>> lines = {
      {0, ""},
      {0, "Usage: ostrel [flags] <infile>"},
      {0, ""},
      {0, ""},
      {7, "-d <dest>   ... set the destination according <dest>:"},
      {24, "r .. RAM"},
      {24, "l .. RAM, locked"},
      {24, "a .. archive"},
      {7, "-fo <name>  ... on-calc foldername (up to 8 characters)"},
      {23, "NOTE: use '-fo -' to send the file to the"},
      {29, "current folder of the receiving unit"},
      {7, "-fi <name>  ... on-calc filename (up to 8 characters)"},
      {7, "-c <str>    ... file comment (up to 40 characters)"},
      {7, "-ti <calc>  ... set target device according <calc>:"},
      {24, "89 .. TI-89 (Titanium)"},
      {24, "9x .. TI-92 Plus"},
      {24, "v2 .. Voyage 200"},
      {7, "-n_extcheck ... skip file extention check"},
      {7, "-q          ... don't output standard messages"},
      {0, ""},
      {7, "<infile>    ... input file"},
      {0, ""},
  };
  std::string text;
  for (const auto& [spaces, line] : lines) text += std::string(spaces, ' ') + line + "\n";
  return text;
}

// ostrel's warnings.
inline const std::string nothing_to_do = "\nWARNING: Nothing to do, use command line flags!";
// `field` is <foldername>, <filename> or <comment>.
inline std::string truncated_warning(const std::string& field, std::size_t width) {
  return "\nWARNING: " + field + " exceeds " + std::to_string(width) + " bytes. Truncated to fit!";
}
inline std::string lacking(const std::string& field) {
  return "\nWARNING: " + field + " holds a character the calculator lacks. Written as UTF-8!";
}
inline const std::string folder_truncated = truncated_warning("<foldername>", 8);
inline const std::string name_truncated = truncated_warning("<filename>", 8);
inline const std::string comment_truncated = truncated_warning("<comment>", 40);
inline const std::string not_checked = "\nWARNING: File extention is not checked!";
inline const std::string unmodified =
    "\nWARNING: Target device changed, but fileextension is left unmodified!";

// ostrel's errors. `what` is the part after "missing " or "invalid ", as "<dest> for '-d <dest>'".
inline std::string missing(const std::string& what) {
  return "\nERROR: Invalid command line arguments, missing " + what + "!\n";
}
inline std::string invalid(const std::string& what) {
  return "\nERROR: Invalid command line arguments, invalid " + what + "!\n";
}
inline std::string extra_argument(const std::string& argument) {
  return "\nERROR: Invalid command line argument: '" + argument + "'\n";
}
inline const std::string missing_infile = missing("<infile>");
inline const std::string wrong_extension = "\nERROR: Wrong file extention!\n";

inline std::string cannot_open(const std::string& path) {
  return "\nERROR: Cannot open inputfile " + path + "!\n";
}
inline std::string cannot_write(const std::string& path) {
  return "\nERROR: Cannot write to inputfile " + path + "!\n";
}
inline std::string cannot_rename(const std::string& from, const std::string& to) {
  return "\nERROR: Cannot rename inputfile " + from + " to " + to + "!\n";
}
inline std::string other_kind(const std::string& path) {
  return "\nERROR: Cannot edit inputfile " + path + ", it is not a TI68k variable file!\n";
}
inline std::string group_file(const std::string& path) {
  return "\nERROR: Cannot set destination, folder or name in group file " + path + "!\n";
}

// ostrel-show's texts.
inline const std::string show_header =
    "FAMILY      VARIABLE           TYPE                   DESTINATION      SIZE  CHECKSUM  "
    "COMMENT                                     FILE\n";
inline const std::string try_help = "Try 'ostrel-show --help' for more information.\n";
inline const std::string cannot_write_output = "ostrel-show: cannot write to standard output\n";
inline const std::string not_variable_file = "not a TI-68k variable file";
inline const std::string truncated = "truncated: the file ends before its header says";
inline const std::string misplaced = "damaged: a variable's offset is out of place";
inline const std::string no_variables = "the file lists no variable";

}  // namespace ostrel::testing
