#include "varfile/rename.h"

#include <cerrno>
#include <cstdio>  // renameat2, RENAME_NOREPLACE

#include <fcntl.h>
#include <unistd.h>

namespace ostrel {

bool rename_no_replace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  // Filesystems without the flag refuse it (EINVAL), old kernels lack the call (ENOSYS).
  if (errno != EINVAL && errno != ENOSYS) return false;
  return rename_by_link(from, to);
}

bool rename_by_link(const char* from, const char* to) {
  // link() fails with EEXIST rather than replace, so no other file can be lost in between.
  if (::link(from, to) != 0) return false;
  if (::unlink(from) == 0) return true;
  // The old name could not go: take the new one back, so that the file keeps one name.
  ::unlink(to);
  return false;
}

}  // namespace ostrel
