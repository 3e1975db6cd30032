#pragma once
// Renaming a file without ever replacing another one.

namespace ostrel {

/// Renames `from` to `to` atomically, failing (and changing nothing) when `to` already exists,
/// even if another process creates it at the same moment. Returns false on any failure.
[[nodiscard]] bool rename_no_replace(const char* from, const char* to);

}  // namespace ostrel
