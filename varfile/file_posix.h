#pragma once
// The renames of POSIX systems that never replace a file, each within one folder (a descriptor,
// or AT_FDCWD), declared for the tests that try each one.

namespace ostrel {

/// The system's atomic no-replace rename where it has one, and the fallbacks below where it has
/// none or the filesystem refuses it. False on any failure, and then nothing changed.
[[nodiscard]] bool rename_no_replace(int folder, const char* from, const char* to);
/// A hard link, which fails rather than replace, then removal of the old name; should that
/// removal fail, the new name is removed again, so the file keeps exactly its one name. Refused
/// (EACCES) before the link where the old name could not be removed (a sticky folder).
[[nodiscard]] bool rename_by_link(int folder, const char* from, const char* to);
/// A look that `to` is free, then a plain rename, as `mv -n` does: not atomic.
[[nodiscard]] bool rename_if_free(int folder, const char* from, const char* to);

}  // namespace ostrel
