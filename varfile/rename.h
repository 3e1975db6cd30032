#pragma once
// Renaming a file without ever replacing another one.

namespace ostrel {

/// True when nothing at all, not even a dangling symbolic link, has the name `path`.
[[nodiscard]] bool name_is_free(const char* path);

/// True when `path` itself is a symbolic link (on Windows, any reparse point): renaming it would
/// rename the link, not the file it leads to.
[[nodiscard]] bool is_symbolic_link(const char* path);

/// Renames `from` to `to`, failing (and changing nothing) when `to` already exists, even if
/// another process creates it at the same moment; best effort on filesystems that have neither
/// an atomic no-replace rename nor hard links. Returns false on any failure.
[[nodiscard]] bool rename_no_replace(const char* from, const char* to);

#if defined(__linux__)
// The fallbacks of rename_no_replace, for the tests.

/// A hard link, which fails rather than replace, then removal of the old name.
[[nodiscard]] bool rename_by_link(const char* from, const char* to);
/// A look that `to` is free, then a plain rename, as `mv -n` does: not atomic.
[[nodiscard]] bool rename_if_free(const char* from, const char* to);
#endif

}  // namespace ostrel
