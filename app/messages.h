#pragma once
// Every text the program writes, in one place. "%s" and "%02i" are filled by format_message().
// OSTREL_VERSION comes from the build (the project's version in CMakeLists.txt).

#include <string_view>

namespace ostrel::msg {

inline constexpr std::string_view banner =
    "Ostrel " OSTREL_VERSION " - command line tool to set TI68k variable file properties\n"
    "Copyright (C) the ostrel authors, released 2026-12-08\n";

inline constexpr std::string_view usage =
    "\n"
    "Usage: ostrel [flags] <infile>\n"
    "\n"
    "\n"
    "       -d <dest>   ... set the destination according <dest>:\n"
    "                        r .. RAM\n"
    "                        l .. RAM, locked\n"
    "                        a .. archive\n"
    "       -fo <name>  ... on-calc foldername (up to 8 characters)\n"
    "                       NOTE: use '-fo -' to send the file to the\n"
    "                             current folder of the receiving unit\n"
    "       -fi <name>  ... on-calc filename (up to 8 characters)\n"
    "       -c <str>    ... file comment (up to 40 characters)\n"
    "       -ti <calc>  ... set target device according <calc>:\n"
    "                        89 .. TI-89 (Titanium)\n"
    "                        9x .. TI-92 Plus\n"
    "                        v2 .. Voyage 200\n"
    "       -n_extcheck ... skip file extention check\n"
    "       -q          ... don't output standard messages\n"
    "\n"
    "       <infile>    ... input file\n"
    "\n";

// Command-line errors (standard error, after the banner).
inline constexpr std::string_view missing_dest =
    "\nERROR: Invalid command line arguments, missing <dest> for '-d <dest>'!\n";
inline constexpr std::string_view invalid_dest =
    "\nERROR: Invalid command line arguments, invalid <dest> for '-d <dest>'!\n";
inline constexpr std::string_view missing_folder =
    "\nERROR: Invalid command line arguments, missing <name> for '-fo <name>'!\n";
inline constexpr std::string_view missing_var_name =
    "\nERROR: Invalid command line arguments, missing <name> for '-fi <name>'!\n";
inline constexpr std::string_view missing_comment =
    "\nERROR: Invalid command line arguments, missing <str> for '-c <str>'!\n";
inline constexpr std::string_view missing_target =
    "\nERROR: Invalid command line arguments, missing <calc> for '-ti <calc>'!\n";
inline constexpr std::string_view invalid_target =
    "\nERROR: Invalid command line arguments, invalid <calc> for '-ti <calc>'!\n";
inline constexpr std::string_view extra_argument =
    "\nERROR: Invalid command line argument: '%s'\n";
inline constexpr std::string_view missing_infile =
    "\nERROR: Invalid command line arguments, missing <infile>!\n";

// Run errors (standard error).
inline constexpr std::string_view cannot_open = "\nERROR: Cannot open inputfile %s!\n";
inline constexpr std::string_view cannot_write = "\nERROR: Cannot write to inputfile %s!\n";
inline constexpr std::string_view cannot_rename = "\nERROR: Cannot rename inputfile %s to %s!\n";
inline constexpr std::string_view wrong_extension = "\nERROR: Wrong file extention!\n";
inline constexpr std::string_view other_kind =
    "\nERROR: Cannot edit inputfile %s, it is not a TI68k variable file!\n";
inline constexpr std::string_view group_file =
    "\nERROR: Cannot set destination, folder or name in group file %s!\n";

// Warnings (standard output, except nothing_to_do on standard error).
inline constexpr std::string_view folder_lacking =
    "\nWARNING: <foldername> holds a character the calculator lacks. Written as UTF-8!";
inline constexpr std::string_view var_name_lacking =
    "\nWARNING: <filename> holds a character the calculator lacks. Written as UTF-8!";
inline constexpr std::string_view comment_lacking =
    "\nWARNING: <comment> holds a character the calculator lacks. Written as UTF-8!";
inline constexpr std::string_view folder_truncated =
    "\nWARNING: <foldername> exceeds 8 bytes. Truncated to fit!";
inline constexpr std::string_view var_name_truncated =
    "\nWARNING: <filename> exceeds 8 bytes. Truncated to fit!";
inline constexpr std::string_view comment_truncated =
    "\nWARNING: <comment> exceeds 40 bytes. Truncated to fit!";
inline constexpr std::string_view nothing_to_do =
    "\nWARNING: Nothing to do, use command line flags!";
inline constexpr std::string_view extension_not_checked =
    "\nWARNING: File extention is not checked!";
inline constexpr std::string_view extension_unmodified =
    "\nWARNING: Target device changed, but fileextension is left unmodified!";

// Task lines (standard output unless quiet).
inline constexpr std::string_view task_ram = "\nTask %02i: Destination set to 'RAM'.";
inline constexpr std::string_view task_ram_locked = "\nTask %02i: Destination set to 'RAM, locked'.";
inline constexpr std::string_view task_archive = "\nTask %02i: Destination set to 'Archive'.";
inline constexpr std::string_view task_current_folder =
    "\nTask %02i: Send file to current folder of receiving unit.";
inline constexpr std::string_view task_folder = "\nTask %02i: On-calc folder set to '%s'.";
inline constexpr std::string_view task_var_name = "\nTask %02i: On-calc filename set to '%s'.";
inline constexpr std::string_view task_comment = "\nTask %02i: File comment set.";
inline constexpr std::string_view task_target = "\nTask %02i: Target device set to '%s'";

}  // namespace ostrel::msg
