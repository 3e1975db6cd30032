#pragma once
// The console texts the black-box tests expect, written out independently of the program's own.

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

inline const std::string nothing_to_do = "\nWARNING: Nothing to do, use command line flags!";

inline std::string cannot_open(const std::string& path) {
  return "\nERROR: Cannot open inputfile " + path + "!\n";
}

inline std::string cannot_write(const std::string& path) {
  return "\nERROR: Cannot write to inputfile " + path + "!\n";
}

}  // namespace ostrel::testing
