/* The floor for one typical ostrel run (-d a -fi prog -ti v2 <path>): only the system calls that
 * edit has to make (open, three positioned writes, close, rename) and the same console text in
 * one write. No argument parsing, no checks beyond the calls' own results. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char text[] =
    "Ostrel " OSTREL_VERSION " - command line tool to set TI68k variable file properties\n"
    "Copyright (C) the ostrel authors, released 2026-12-08\n"
    "\nTask 01: Destination set to 'Archive'."
    "\nTask 02: On-calc filename set to 'prog'."
    "\nTask 03: Target device set to 'v2'\n";

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const char* path = argv[argc - 1];
  int fd = open(path, O_RDWR);
  if (fd < 0) return 1;
  static const char archive = 2;
  static const char name[8] = "prog";
  if (pwrite(fd, &archive, 1, 73) != 1 || pwrite(fd, name, 8, 64) != 8 ||
      pwrite(fd, "**TI92P*", 8, 0) != 8 || close(fd) != 0) {
    return 1;
  }
  char new_path[4096];
  size_t length = strlen(path);
  if (length < 3 || length >= sizeof new_path) return 1;
  memcpy(new_path, path, length + 1);
  new_path[length - 3] = 'v';
  new_path[length - 2] = '2';
  if (renameat2(AT_FDCWD, path, AT_FDCWD, new_path, RENAME_NOREPLACE) != 0) return 1;
  return write(1, text, sizeof text - 1) == (ssize_t)(sizeof text - 1) ? 0 : 1;
}
