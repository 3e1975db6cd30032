#pragma once
// The console texts the black-box tests expect, written out independently of the program's own.

#include <string>

namespace ostrel::testing {

inline const std::string banner =
    "Ostrel 1.0.1 - command line tool to set TI68k variable file properties\n"
    "Copyright (C) the ostrel authors, released 2026-12-08\n";

inline const std::string nothing_to_do = "\nWARNING: Nothing to do, use command line flags!";

inline std::string cannot_open(const std::string& path) {
  return "\nERROR: Cannot open inputfile " + path + "!\n";
}

inline std::string cannot_write(const std::string& path) {
  return "\nERROR: Cannot write to inputfile " + path + "!\n";
}

}  // namespace ostrel::testing
