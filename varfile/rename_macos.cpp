#include "varfile/rename.h"

#include <cstdio>  // renamex_np, RENAME_EXCL

namespace ostrel {

bool rename_no_replace(const char* from, const char* to) {
  // RENAME_EXCL makes the rename fail with EEXIST, atomically, when `to` exists.
  return ::renamex_np(from, to, RENAME_EXCL) == 0;
}

}  // namespace ostrel
