#pragma once
// Renaming a file without ever replacing another one.

namespace ostrel {

/// Renames `from` to `to` atomically, failing (and changing nothing) when `to` already exists,
/// even if another process creates it at the same moment. Returns false on any failure.
[[nodiscard]] bool rename_no_replace(const char* from, const char* to);

#if defined(__linux__)
/// The fallback for filesystems that refuse an atomic no-replace rename: a hard link, which fails
/// rather than replace, then removal of the old name.
[[nodiscard]] bool rename_by_link(const char* from, const char* to);
#endif

}  // namespace ostrel
