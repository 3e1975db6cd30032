// Property test: random files and random command lines against a model of the tool's behaviour.
// Each case runs the built binary and checks exact output, status, file name and bytes.
//
//   OSTREL_PROPERTY_CASES=n   number of cases (default 1000)
//   OSTREL_PROPERTY_SEED=s    run the single case with seed s (a failure prints its seed)

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

constexpr std::uint64_t base_seed = 20261208;

// ---- Generation -------------------------------------------------------------------------------

struct Case {
  std::vector<std::string> args;
  std::string file_name;
  Bytes content;
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  Case make() {
    Case c;
    c.file_name = file_name();
    c.content = bytes(pick({0, 1, 10, 73, 74, 82, 88, 120, 300}), 0, 255);
    if (chance(2)) {
      c.args = {};  // no arguments at all
      return c;
    }
    const int options = static_cast<int>(below(8));
    const std::size_t path_at = below(static_cast<std::uint64_t>(options) + 1);
    for (int i = 0; i <= options; ++i) {
      if (static_cast<std::size_t>(i) == path_at && !chance(3)) c.args.push_back(c.file_name);
      if (i < options) add_option(c.args);
    }
    if (chance(3)) c.args.push_back(chance(50) ? "" : "other.89p");  // a second positional
    if (chance(3)) c.args.push_back(pick<std::string>({"-d", "-fo", "-fi", "-c", "-ti"}));
    return c;
  }

 private:
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }
  bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
  template <typename T>
  T pick(std::initializer_list<T> items) {
    return *(items.begin() + below(items.size()));
  }

  Bytes bytes(std::size_t length, int low, int high) {
    Bytes out(length);
    for (auto& b : out) b = static_cast<std::uint8_t>(low + static_cast<int>(below(high - low + 1)));
    return out;
  }

  // Typed text: ASCII letters; or characters, some of them ones the calculator lacks; or, where
  // a command line carries bytes, raw bytes, never valid UTF-8 (0xFF first).
  std::string text(std::size_t length) {
    const int kind = static_cast<int>(below(10));
    if (kind < 7 || length == 0) {
      const Bytes letters = bytes(length, 'a', 'z');
      return std::string(letters.begin(), letters.end());
    }
    if (kind < 9 || testing_windows()) {
      std::string utf8;
      while (utf8.size() < length) {
        utf8 += pick<std::string>({"\xe6\xb8\xb8", "\xf0\x9f\x98\x80",
                                   std::string(1, static_cast<char>(1 + below(127)))});
      }
      return utf8;
    }
    Bytes raw = bytes(length, 1, 255);
    raw[0] = 0xFF;
    return std::string(raw.begin(), raw.end());
  }

  std::string file_name() {
    static const char* const known[] = {"89p", "89s", "89z", "9xa", "9xp", "9xz", "v2p", "v2s",
                                        "v2t", "89g", "9xy", "v2u"};
    const std::string base = pick<std::string>({"game", "my.game", "a b", "x", "-q", "%s"});
    if (chance(85)) return base + "." + known[below(std::size(known))];
    return pick<std::string>({"game.txt", "PROG.89P", "game.89", "game.", "game", "g.92p"});
  }

  // A value of a text field: empty, at the field width, over it, raw bytes, or option-like.
  std::string text_value(std::size_t width) {
    switch (below(7)) {
      case 0: return "";
      case 1: return text(width);
      case 2: return text(width + 1 + below(30));
      case 3: return text(1 + below(width));
      case 4: return pick<std::string>({"-q", "-d", "-fo", "-c", "-ti", "-n_extcheck", "--", "-x"});
      case 5: return "-";
      default: return text(below(60));
    }
  }

  void add_option(std::vector<std::string>& args) {
    switch (below(7)) {
      case 0: args.push_back("-q"); break;
      case 1: args.push_back("-n_extcheck"); break;
      case 2:
        args.push_back("-d");
        args.push_back(chance(90) ? pick<std::string>({"r", "l", "a", "ram", "lock", "archive"})
                                  : pick<std::string>({"", "R", "x", "-q", odd_byte()}));
        break;
      case 3: args.push_back("-fo"); args.push_back(text_value(8)); break;
      case 4: args.push_back("-fi"); args.push_back(text_value(8)); break;
      case 5: args.push_back("-c"); args.push_back(text_value(40)); break;
      default:
        args.push_back("-ti");
        args.push_back(chance(92) ? pick<std::string>({"89", "9x", "v2"})
                                  : pick<std::string>({"", "92", "V2", "89p", "9"}));
    }
  }

  // A -d value beyond ASCII: a stray byte, or on Windows, where only UTF-8 arrives, a character.
  static std::string odd_byte() { return testing_windows() ? "\xc3\xa9" : "\xff"; }

  std::mt19937_64 rng_;
};

// ---- Model ------------------------------------------------------------------------------------

struct Expected {
  std::string out, err;
  int status = 0;
  std::string file_name;
  Bytes content;
};

struct Request {
  std::optional<std::string> path, folder, name, comment, target;
  std::optional<char> dest;
  bool quiet = false, skip = false;
};

bool known_extension(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string ext = path.substr(dot + 1);
  return ext.size() == 3 && (ext.starts_with("89") || ext.starts_with("9x") || ext.starts_with("v2")) &&
         std::string("agdcefiklmpstuxyz").find(ext[2]) != std::string::npos;
}

// A typed value as ostrel writes it into a field of `width`, as the generator makes them: bytes
// that are not UTF-8 (0xFF among them) as given, cut at the width; UTF-8 with a character beyond
// ASCII (one the calculator lacks) among the characters that fit as given, with a warning, cut at
// a character.
struct Typed {
  std::string image, shown;
  bool truncated = false, lacking = false;
};

Typed typed(const std::string& value, std::size_t width) {
  const bool utf8 = value.find('\xff') == std::string::npos;
  Typed t;
  for (std::size_t i = 0, chars = 0; i < value.size(); ++chars) {
    const auto lead = static_cast<std::uint8_t>(value[i]);
    const std::size_t length = !utf8 || lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    t.lacking = t.lacking || (utf8 && length > 1 && chars < width);
    if (t.image.size() + length > width) t.truncated = true;
    if (!t.truncated) t.image += value.substr(i, length);
    i += length;
  }
  t.shown = t.image;
  t.image.resize(width, '\0');
  return t;
}

Expected model(const Case& c) {
  Expected e;
  e.file_name = c.file_name;
  e.content = c.content;
  e.status = 1;
  if (c.args.empty()) {
    e.out = banner + expected_usage();
    return e;
  }
  Request r;
  for (std::size_t i = 0; i < c.args.size(); ++i) {
    const std::string& a = c.args[i];
    const bool has_value = i + 1 < c.args.size();
    auto fail = [&](const std::string& message) {
      e.out = banner;
      e.err = message;
      return e;
    };
    if (a == "-q") {
      r.quiet = true;
    } else if (a == "-n_extcheck") {
      r.skip = true;
    } else if (a == "-d") {
      if (!has_value) return fail(missing("<dest> for '-d <dest>'"));
      const std::string& v = c.args[++i];
      if (v.empty() || (v[0] != 'r' && v[0] != 'l' && v[0] != 'a')) {
        return fail(invalid("<dest> for '-d <dest>'"));
      }
      r.dest = v[0];
    } else if (a == "-fo" || a == "-fi" || a == "-c") {
      if (!has_value) {
        return fail(missing(a == "-c" ? "<str> for '-c <str>'" : "<name> for '" + a + " <name>'"));
      }
      (a == "-fo" ? r.folder : a == "-fi" ? r.name : r.comment) = c.args[++i];
    } else if (a == "-ti") {
      if (!has_value) return fail(missing("<calc> for '-ti <calc>'"));
      const std::string& v = c.args[++i];
      if (v != "89" && v != "9x" && v != "v2") return fail(invalid("<calc> for '-ti <calc>'"));
      r.target = v;
    } else if (r.path) {
      return fail(extra_argument(a));
    } else {
      r.path = a;
    }
  }
  if (!r.path) {
    e.out = banner + expected_usage();
    e.err = missing_infile;
    return e;
  }
  if (!r.quiet) e.out = banner;
  if (r.skip) {
    e.out += not_checked;
  } else if (!known_extension(*r.path)) {
    e.err = wrong_extension;
    return e;
  }
  // Windows refuses a name it would change (it drops a trailing dot or space) as unopenable.
  const bool changed_by_windows =
      testing_windows() && (r.path->ends_with('.') || r.path->ends_with(' '));
  if (*r.path != c.file_name || changed_by_windows) {
    e.err = cannot_open(*r.path);
    return e;
  }
  int task = 0;
  auto task_line = [&](const std::string& text) {
    ++task;
    if (!r.quiet) e.out += "\nTask 0" + std::to_string(task) + ": " + text;
  };
  if (r.dest) {
    const char code = *r.dest == 'r' ? 0 : *r.dest == 'l' ? 1 : 2;
    task_line(std::string("Destination set to '") +
              (code == 0 ? "RAM" : code == 1 ? "RAM, locked" : "Archive") + "'.");
    e.content = patched(e.content, {{73, std::string(1, code)}});
  }
  auto text_task = [&](const std::string& value, std::size_t width, std::size_t offset,
                       const std::string& field, const std::string& line) {
    const Typed t = typed(value, width);
    if (t.lacking) e.out += lacking(field);
    if (t.truncated) e.out += truncated_warning(field, width);
    task_line(line.empty() ? "File comment set." : line + t.shown + "'.");
    e.content = patched(e.content, {{offset, t.image}});
  };
  if (r.folder && *r.folder == "-") {
    task_line("Send file to current folder of receiving unit.");
    e.content = patched(e.content, {{10, zeros(1)}});
  } else if (r.folder) {
    text_task(*r.folder, 8, 10, "<foldername>", "On-calc folder set to '");
  }
  if (r.name) text_task(*r.name, 8, 64, "<filename>", "On-calc filename set to '");
  if (r.comment) text_task(*r.comment, 40, 18, "<comment>", "");
  if (r.target) {
    e.content = patched(e.content, {{0, *r.target == "89" ? "**TI89**" : "**TI92P*"}});
    if (r.skip) {
      e.out += unmodified;
    } else {
      e.file_name.replace(e.file_name.size() - 3, 2, *r.target);
    }
    task_line("Target device set to '" + *r.target + "'");
  }
  if (task == 0) e.err = nothing_to_do;
  if (!r.quiet) e.out += "\n";
  e.status = 0;
  return e;
}

// ---- The property -----------------------------------------------------------------------------

std::string describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& a : args) text += " '" + a + "'";
  return text;
}

TEST(Property, RandomFilesAndCommandLinesMatchTheModel) {
  std::vector<std::uint64_t> seeds;
  if (const char* one = std::getenv("OSTREL_PROPERTY_SEED")) {
    seeds.push_back(std::strtoull(one, nullptr, 10));
  } else {
    const char* count = std::getenv("OSTREL_PROPERTY_CASES");
    const std::uint64_t cases = count ? std::strtoull(count, nullptr, 10) : 1000;
    for (std::uint64_t i = 0; i < cases; ++i) seeds.push_back(base_seed + i);
  }
  int failures = 0;
  int edited = 0;
  int completed = 0;
  for (const std::uint64_t seed : seeds) {
    const Case c = Generator(seed).make();
    const Expected expected = model(c);
    ScratchDir dir;
    write_bytes(dir / c.file_name, c.content);
    const Outcome got = run_program({c.args, dir.path()});
    const std::vector<std::string> names = list_dir(dir.path());
    const bool ok = got.status == expected.status && got.out == expected.out &&
                    got.err == expected.err && names == std::vector<std::string>{expected.file_name} &&
                    read_bytes(dir / expected.file_name) == expected.content;
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "seed " << seed << " (rerun with OSTREL_PROPERTY_SEED=" << seed
                    << "): ostrel" << describe(c.args) << " on '" << c.file_name << "' ("
                    << c.content.size() << " bytes)\n  status " << got.status << ", expected "
                    << expected.status << "\n  out " << ::testing::PrintToString(got.out)
                    << "\n  expected " << ::testing::PrintToString(expected.out) << "\n  err "
                    << ::testing::PrintToString(got.err) << "\n  expected "
                    << ::testing::PrintToString(expected.err);
      if (failures >= 5) break;
    }
    if (expected.status == 0) ++completed;
    if (expected.status == 0 && expected.content != c.content) ++edited;
  }
  std::printf("property: %zu cases from seed %llu: %d completed (%d changed the file), %zu ended "
              "with status 1\n",
              seeds.size(), static_cast<unsigned long long>(seeds.front()), completed, edited,
              seeds.size() - static_cast<std::size_t>(completed));
}

}  // namespace
}  // namespace ostrel::testing
