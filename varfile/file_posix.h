#pragma once
// The fallbacks of rename_no_replace on POSIX systems, declared for the tests that try each one.

namespace ostrel {

/// A hard link, which fails rather than replace, then removal of the old name.
[[nodiscard]] bool rename_by_link(const char* from, const char* to);
/// A look that `to` is free, then a plain rename, as `mv -n` does: not atomic.
[[nodiscard]] bool rename_if_free(const char* from, const char* to);

}  // namespace ostrel
