// ostrel-show, run as a user runs it: exact output, messages and status for good files, damaged
// ones and bad command lines. A damaged file is reported and never read past its end (the
// sanitizer build and the fuzz target cover the reading itself).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/rows.h"
#include "tests/support/texts.h"
#include "tests/support/var_fixture.h"

namespace ostrel::testing {
namespace {

// The sample's line up to the file's name, which comes last.
const std::string sample_columns =
    "TI-89       main\\hello         0x0c string            RAM                22  ok        "
    "\"ostrel sample: a string variable\"          ";
const std::string sample_line = sample_columns + "hello.89s\n";
// The sample's JSON fields after its signature, up to the object's closing brace.
const std::string sample_json_rest =
    ",\"folder\":\"main\",\"comment\":\"ostrel sample: a string variable\",\"variables\":[{"
    "\"folder\":\"main\",\"name\":\"hello\",\"type\":12,\"type_name\":\"string\",\"attribute\":0,"
    "\"destination\":\"RAM\",\"size\":22,\"checksum_ok\":true}]";
const std::string sample_json_fields =
    "\"kind\":\"variable\",\"family\":\"TI-89\",\"signature\":\"**TI89**\"" + sample_json_rest + "}";

Bytes sample() { return build_var_file(sample_spec()); }

std::string bytes_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

VarSpec variable(std::string folder, std::string name, std::uint8_t type, std::uint8_t attribute,
                 Bytes body, std::string comment = "") {
  VarSpec var;
  var.folder = std::move(folder);
  var.name = std::move(name);
  var.type = type;
  var.attribute = attribute;
  var.body = std::move(body);
  var.comment = std::move(comment);
  return var;
}

// Three variables in two folders; one of a type and one of an attribute that have no name.
Bytes group() {
  return build_group_file({variable("main", "a", 0x0C, 0, string_body("x"), "a group"),
                           variable("games", "tetris", 0x21, 2, {0x4E, 0x75}),
                           variable("games", "odd", 0x1C, 5, {})});
}

// Text fields holding quotes, backslashes, a control byte and the calculator's own characters.
Bytes odd_bytes() {
  return build_var_file(variable("f\\o", "n\xFF", 0x12, 1, {}, "say \"hi\" \\ \x01\xE9\x7F\x9B"));
}

// A licence and an application, as an application's Flash file may hold.
Bytes flash() {
  FlashPartSpec licence;
  licence.name = "lic";
  licence.data_type = 0x3E;
  licence.revision[0] = 0x10, licence.revision[1] = 0;
  return build_flash_file({licence, {}});
}

// A run of ostrel-show in a folder holding `files`, which it leaves as they were.
Row show(std::string title, Files files, std::vector<std::string> args, std::string out,
         std::string err, int status, Stream output = Stream::captured,
         std::optional<std::string> input = {}, std::string posix_only = {}) {
  Row row{std::move(title), std::move(args), files, std::move(out), std::move(err), status, files};
  row.out_stream = output;
  row.input = std::move(input);
  row.posix_only = std::move(posix_only);
  row.binary = ostrel_show_binary();
  return row;
}

// The sample under another signature.
Bytes signed_as(const std::string& signature) { return patched(sample(), {{0, signature}}); }

// The line of flash()'s application at `path`, its data `size` bytes long; flash()'s lines.
std::string application_line(const std::string& path, char size = '4') {
  return std::string("TI-89       tetris             0x24 application       Flash               ") +
         size + "  -         revision 2.09, 2004-03-15                   " + path + "\n";
}
std::string flash_lines(const std::string& path) {
  return "TI-89       lic                0x3e licence           Flash               4  -         "
         "revision 10.00, 2004-03-15                  " + path + "\n" + application_line(path);
}

// A signature-vs-name line of --check: `path` signed for `family` (`signature`), named for the
// TI-89; `tail` says how it is mended, or why not.
std::string for_89(const std::string& path, const std::string& family, const std::string& signature,
                   const std::string& tail) {
  return path + ": signature-vs-name: is for the " + family + " (" + signature +
         "), but named for the TI-89" + tail + "\n";
}

// `posix` where Windows is not under test, `windows` where it is.
std::string per_system(const std::string& posix, const std::string& windows) {
  return testing_windows() ? windows : posix;
}

// ostrel-show --check's last line.
std::string checked(int files, int with_problems) {
  return "ostrel-show: files checked: " + std::to_string(files) +
         ", with problems: " + std::to_string(with_problems) + "\n";
}

// A file that is refused: nothing listed, the reason on standard error, status 1.
Row refused(std::string title, Bytes bytes, const std::string& reason) {
  return show(std::move(title), {{"f.89p", std::move(bytes)}}, {"f.89p"}, "",
              "ostrel-show: f.89p: " + reason + "\n", 1);
}

TEST(Show, ListsAndReports) {
  // Enough lines to fill the output buffer, then a missing file.
  Files many;
  std::vector<std::string> many_args;
  for (const char* digit : {"1", "2"}) {
    for (char c = 'a'; c <= 'z'; ++c) {
      many_args.push_back(std::string(1, c) + digit + ".89s");
      many[many_args.back()] = sample();
    }
  }
  many_args.push_back("gone.89p");
  Row glibc_utf8 = show("LANG=en_US.utf8, as glibc spells it, is UTF-8",
                        {{"\xC3\xA9.89s", sample()}}, {"\xC3\xA9.89s"},
                        show_header + sample_columns + "\xC3\xA9.89s\n", "", 0,
                        Stream::captured, {}, "the locale of a POSIX system");
  glibc_utf8.env = {"LC_ALL=", "LC_CTYPE=", "LANG=en_US.utf8"};
  const std::string unseen = "\x7f\xC2\x85\xff\xE2\x81\xA6\xE2\x81\xA9\xE2\x80\x8B\xE2\x80\xA8"
                             "\xCD\x8F\xE3\x85\xA4g\xF3\xA0\x81\x81.89s";
  std::string no_destination = sample_json_fields;
  no_destination.replace(no_destination.find("0,\"destination\":\"RAM\""), 21,
                         "5,\"destination\":null");
  FlashPartSpec other_family, no_data;
  other_family.device_type = 0x73;
  no_data.data = {};
  VarSpec v200_macro = sample_spec(), assembly = sample_spec();
  v200_macro.signature = "**V200**";
  v200_macro.type = 0x14;
  assembly.type = 0x21;
  const Bytes two_wrong_sums = patched(group(), {{156, zeros(1)}, {166, zeros(1)}});
  const std::string sep = per_system("/", "\\");
  const Files walked = {{"hello.89s", sample()}, {"c/", {}}, {"c/b.89S", sample()},
                        {"c/a.9xk", flash()}, {"c/notes.txt", sample()}, {"c/notes.89b", sample()},
                        {"c/d.89p/", {}},
                        {"c/d.89p/x.v2s", sample()}, {"c/B.92p", sample()}};
  Files linked = walked;
  linked.insert({{"c/up", link_to("..")}, {"c/e.89s", link_to("../hello.89s")}});
  Row walk_with_links = show("-r: a link to a file followed, to a folder not; a folder that cannot "
                             "be read reported, the walk going on",
                             linked, {"-r", "c"},
                             show_header + sample_columns + "c/B.92p\n" + flash_lines("c/a.9xk") +
                                 sample_columns + "c/b.89S\n" + sample_columns + "c/e.89s\n",
                             "ostrel-show: c/d.89p: permission denied\n", 1, Stream::captured, {},
                             "symbolic links, strace");
  walk_with_links.strace = {"--quiet=path-resolution", "-P", "c/d.89p", "-e",
                            "inject=getdents,getdents64:error=EACCES"};
  Row no_mend = show("--check: no mend through another name, which may be for another device",
                     {{"x.v2s", signed_as("**TI92P*")}, {"y.89s", link_to("x.v2s")},
                      {"z.89s", hard_link_to("x.v2s")}},
                     {"--check", "y.89s", "z.89s"},
                     for_89("y.89s", "TI-92 Plus", "**TI92P*",
                            " (no mend: a symbolic link, whose own name may be for another "
                            "device)") +
                         for_89("z.89s", "TI-92 Plus", "**TI92P*",
                                " (no mend: the file has another name, which may be for another "
                                "device)"),
                     checked(2, 2), 1, Stream::captured, {}, "symbolic links");
  no_mend.after["z.89s"] = signed_as("**TI92P*");
  // A hostile tree: names a rename needs taken by a folder, by a link to one, by a file that is
  // renamed first, by one that needs this file's name; machine code signed for another
  // calculator; a file of two names, as an interrupted rename leaves it; an extension ostrel
  // takes only with -n_extcheck. Mended once; a second run changes nothing.
  const auto typed = [](std::uint8_t type, const std::string& signature = "**TI89**") {
    return patched(sample(), {{0, signature}, {72, std::string(1, static_cast<char>(type))}});
  };
  const Files hostile = {
      {"g/", {}}, {"elsewhere/", {}}, {"g/U.89S", signed_as("**TI92P*")},
      {"g/b.89p", sample()}, {"g/b.89s", typed(0x0B)}, {"g/c.89p", sample()},
      {"g/c.89s", typed(0x12)}, {"g/w.89s", sample()}, {"g/w.v2s", hard_link_to("g/w.89s")},
      {"g/x.89p", sample()}, {"g/x.89s/", {}}, {"g/y.89p", sample()},
      {"g/y.89s", link_to("../elsewhere")}, {"g/z.89z", typed(0x21, "**TI92P*")}};
  Files mended = hostile;
  mended.erase("g/w.v2s"), mended.erase("g/z.89z");
  mended["g/U.89S"] = sample(), mended["g/b.89s"] = sample(), mended["g/b.89t"] = typed(0x0B);
  mended["g/z.9xz"] = typed(0x21, "**TI92P*");
  mended.erase("g/b.89p");
  const std::string left =
      "g/c.89p: type-vs-name: holds a string (type 0x0c), whose letter is s, not p (no mend: "
      "g/c.89s is taken by a file whose own mend needs this name)\ng/c.89s: type-vs-name: holds "
      "a program (type 0x12), whose letter is p, not s (no mend: g/c.89p is taken by a file whose "
      "own mend needs this name)\n";
  const std::string taken = "g/x.89p: type-vs-name: holds a string (type 0x0c), whose letter is "
                            "s, not p (no mend: g/x.89s is taken)\ng/y.89p: type-vs-name: holds "
                            "a string (type 0x0c), whose letter is s, not p (no mend: g/y.89s is "
                            "taken)\n";
  Row fix = show(
      "--fix: mends that never move a file into a folder or through a link, ordered, "
      "final",
      hostile, {"--fix", "-r", "g"},
      for_89("g/U.89S", "TI-92 Plus", "**TI92P*", " (fixed)") +
          "g/b.89s: type-vs-name: holds a text (type 0x0b), whose letter is t, not s "
          "(fixed: now named g/b.89t)\ng/b.89p: type-vs-name: holds a string (type "
          "0x0c), whose letter is s, not p (fixed: now named g/b.89s)\n" +
          left +
          "g/w.v2s: signature-vs-name: is for the TI-89 (**TI89**), but named for the "
          "Voyage 200 (fixed: now named g/w.89s)\n" +
          taken + for_89("g/z.89z", "TI-92 Plus", "**TI92P*", " (fixed: now named g/z.9xz)"),
      "ostrel-show: files checked: 10, with problems: 9, fixed: 5\n", 1, Stream::captured, {},
      "symbolic and hard links");
  fix.after = mended;
  Row fix_again = show("--fix again: nothing left it can mend, nothing changed", mended,
                       {"--fix", "-r", "g"}, left + taken,
                       "ostrel-show: files checked: 9, with problems: 4, fixed: 0\n", 1,
                       Stream::captured, {}, "symbolic and hard links");
  // A tree 5,000 folders deep, past any whole path's limit, walked on a 512 KiB stack; then with
  // 40 files open at most, the folder where that limit is reached is reported, the walk going on.
  std::string deep = "d/";
  for (int i = 1; i < 5000; ++i) deep += "d/";
  Row deep_tree = show(
      "-r: a tree 5,000 deep on a small stack; the limit of open files",
      {{"x.89s", sample()}, {"z.89s", sample()}},
      {"-c", "c=$(printf 'd/%.0s' $(seq 1000)); t=$PWD; for i in 1 2 3 4 5; do mkdir -p $c && "
             "cd $c || exit; done; mv \"$t/x.89s\" .; cd \"$t\"; mv z.89s d; (ulimit -s 512 && "
             "\"$SHOW\" -r d); echo $?; (ulimit -n 40 && \"$SHOW\" -r d) 2>&1 | sed 's#^\\(ostrel-"
             "show: \\)d\\(/d\\)*: #\\1D: #'; rm -rf d"},
      show_header + sample_columns + deep + "x.89s\n" + sample_columns + "d/z.89s\n0\n" +
          "ostrel-show: D: cannot be opened: too many files are open\n" + show_header +
          sample_columns + "d/z.89s\n",
      "", 0, Stream::captured, {}, "a POSIX shell");
  deep_tree.binary = "/bin/bash";  // whose cd goes deeper than any whole path
  deep_tree.env = {"SHOW=" + ostrel_show_binary().string()};
  deep_tree.after = {};
  Row fixed_quietly = show("--fix -q: renames made through the held file, nothing said of what "
                           "was fixed",
                           {{"g.89p", sample()}, {"a.89S", build_var_file(assembly)}},
                           {"--fix", "-q", "g.89p", "a.89S"}, "", "", 0);
  fixed_quietly.after = {{"g.89s", sample()}, {"a.89Z", build_var_file(assembly)}};
  Row fixed_json = show(
      "--fix --json: what was fixed, and why not",
      {{"g.89s", signed_as("**TI92P*")}, {"p.89p", sample()}, {"p.89s/", {}}},
      {"--fix", "--json", "g.89s", "p.89p"},
      "[\n{\"path\":\"g.89s\",\"kind\":\"variable\",\"family\":\"TI-92 Plus\",\"signature\":"
      "\"**TI92P*\"" +
          sample_json_rest +
          ",\"problems\":[{\"code\":\"signature-vs-name\",\"message\":\"is for the TI-92 Plus "
          "(**TI92P*), but named for the TI-89\",\"mend\":\"ostrel -q -ti 89 g.89s\",\"mend_args\":"
          "[\"ostrel\",\"-q\",\"-ti\",\"89\",\"g.89s\"],\"fixed\":true}]},\n{\"path\":\"p.89p\"," +
          sample_json_fields.substr(0, sample_json_fields.size() - 1) +
          ",\"problems\":[{\"code\":\"type-vs-name\",\"message\":\"holds a string (type 0x0c), "
          "whose letter is s, not p\",\"no_mend\":\"p.89s is taken\"}]}\n]\n",
      "ostrel-show: files checked: 2, with problems: 2, fixed: 1\n", 1);
  fixed_json.after["g.89s"] = sample();
  Row latin1 = show("--mends outside a UTF-8 locale: every byte beyond ASCII made by printf",
                    {{"x\xC3\x9B" "2J.v2s", sample()}}, {"--mends", "x\xC3\x9B" "2J.v2s"},
                    "ostrel -q -ti v2 'x'\"$(printf '\\303\\233')\"'2J.v2s'\n", checked(1, 1), 1,
                    Stream::captured, {}, "the locale of a POSIX system");
  latin1.env = {"LANG=en_US.ISO-8859-1", "LC_ALL=", "LC_CTYPE="};
  Row in_c_locale =
      show("outside a UTF-8 locale, every byte beyond ASCII escaped",
           {{"odd.89p", odd_bytes()}, {"\xC3\xA9.89p", sample()}}, {"odd.89p", "\xC3\xA9.89p"},
           show_header +
               "TI-89       f\\x5co\\n\\xff       0x12 program           RAM, locked "
               "        2  ok        \"say \\x22hi\\x22 \\x5c \\x01\\xe9\\x7f\\x9b\"  "
               "    odd.89p\n" +
               sample_columns + "\\xc3\\xa9.89p\n",
           "", 0, Stream::captured, {}, "the locale of a POSIX system");
  in_c_locale.env = {"LC_ALL=C"};
  const std::vector<Row> rows = {
      show("the sample", {{"hello.89s", sample()}}, {"hello.89s"}, show_header + sample_line, "",
           0),
      show("a group: folders, a type and an attribute without a name", {{"g.89g", group()}},
           {"g.89g"},
           show_header +
               "TI-89       main\\a             0x0c string            RAM                 6  ok   "
               "     \"a group\"                                   g.89g\n"
               "TI-89       games\\tetris       0x21 assembly program  Archive             4  ok   "
               "     \"a group\"                                   g.89g\n"
               "TI-89       games\\odd          0x1c other             attr 0x05           2  ok   "
               "     \"a group\"                                   g.89g\n",
           "", 0),
      show("attribute 3 is archived too",
           {{"a.89p", build_var_file(variable("main", "arch", 0x12, 3, {}))}}, {"a.89p"},
           show_header +
               "TI-89       main\\arch          0x12 program           Archive             2  ok   "
               "     \"\"                                          a.89p\n",
           "", 0),
      show("attribute 3 in JSON: Archive, the byte kept",
           {{"a.89p", build_var_file(variable("main", "arch", 0x12, 3, {}))}}, {"--json", "a.89p"},
           "[\n{\"path\":\"a.89p\",\"kind\":\"variable\",\"family\":\"TI-89\",\"signature\":"
           "\"**TI89**\",\"folder\":\"main\",\"comment\":\"\",\"variables\":[{\"folder\":\"main\","
           "\"name\":\"arch\",\"type\":18,\"type_name\":\"program\",\"attribute\":3,"
           "\"destination\":\"Archive\",\"size\":2,\"checksum_ok\":true}]}\n]\n",
           "", 0),
      show("the calculator's characters, a control byte escaped, columns by characters",
           {{"odd.89p", odd_bytes()}}, {"odd.89p"},
           show_header +
               "TI-89       f\\x5co\\n\xC3\xBF          0x12 program           RAM, locked         "
               "2  ok        \"say \\x22hi\\x22 \\x5c \\x01\xC3\xA9\xE2\x97\x86y\xCC\x85\"               "
               "odd.89p\n",
           "", 0),
      in_c_locale,
      glibc_utf8,
      show("an attribute without a name in JSON: its destination null",
           {{"o.89s", patched(sample(), {{73, "\x05"}})}}, {"--json", "o.89s"},
           "[\n{\"path\":\"o.89s\"," + no_destination + "\n]\n",
           "", 0),
      show("the same characters in JSON, no control character raw", {{"odd.89p", odd_bytes()}},
           {"--json", "odd.89p"},
           "[\n{\"path\":\"odd.89p\",\"kind\":\"variable\",\"family\":\"TI-89\",\"signature\":"
           "\"**TI89**\",\"folder\":\"f\\\\o\",\"comment\":\"say \\\"hi\\\" \\\\ \\u0001\xC3\xA9"
           "\xE2\x97\x86y\xCC\x85\",\"variables\":[{\"folder\":\"f\\\\o\",\"name\":\"n\xC3\xBF\","
           "\"type\":18,\"type_name\":\"program\",\"attribute\":1,\"destination\":\"RAM, locked\","
           "\"size\":2,\"checksum_ok\":true}]}\n]\n",
           "", 0),
      show("a wrong checksum: listed, and reported", {{"bad.89s", patched(sample(), {{108, zeros(1)}})}},
           {"bad.89s"},
           show_header +
               "TI-89       main\\hello         0x0c string            RAM                22  wrong"
               "     \"ostrel sample: a string variable\"          bad.89s\n",
           "ostrel-show: bad.89s: main\\hello: wrong checksum (stored 0x0600, computed 0x06c2)\n", 1),
      show("a wrong checksum in JSON: reported too", {{"bad.89s", patched(sample(), {{108, "?"}})}},
           {"--json", "bad.89s"},
           "[\n{\"path\":\"bad.89s\"," + std::string(sample_json_fields).replace(
                                                 sample_json_fields.find("true"), 4, "false") +
               "\n]\n",
           "ostrel-show: bad.89s: main\\hello: wrong checksum (stored 0x063f, computed 0x06c2)\n", 1),
      show("a missing file, a folder and a good file, in order; that -r walks a folder, once",
           {{"hello.89s", sample()}, {"dir.89p/", {}}}, {"gone.89p", "hello.89s", "dir.89p", "."},
           show_header + sample_line,
           "ostrel-show: gone.89p: no such file\nostrel-show: dir.89p: is a directory\n"
           "ostrel-show: -r walks a folder for the TI-68k files in it\nostrel-show: .: is a "
           "directory\n", 1),
      show("every file in JSON, in order, those that cannot be listed with their error",
           {{"hello.89s", sample()}, {"dir.89p/", {}}}, {"--json", "gone.89p", "hello.89s", "dir.89p"},
           "[\n{\"path\":\"gone.89p\",\"error\":\"no such file\"},\n{\"path\":\"hello.89s\"," +
               sample_json_fields + ",\n{\"path\":\"dir.89p\",\"error\":\"is a directory\"}\n]\n",
           "ostrel-show: gone.89p: no such file\nostrel-show: dir.89p: is a directory\n"
           "ostrel-show: -r walks a folder for the TI-68k files in it\n", 1),
      show("paths of different lengths: every column lines up, the file last",
           {{"a.89s", sample()}, {"games/", {}}, {"games/tetris-deluxe.89s", sample()}},
           {"a.89s", "games/tetris-deluxe.89s"},
           show_header + sample_columns + "a.89s\n" + sample_columns + "games/tetris-deluxe.89s\n",
           "", 0),
      testing_windows()
          ? show("a Windows path: its folder separator as it is",
                 {{"sub/", {}}, {"sub/caf\xC3\xA9.89s", sample()}}, {"sub\\caf\xC3\xA9.89s"},
                 show_header + sample_columns + "sub\\caf\xC3\xA9.89s\n", "", 0)
          : show("a backslash in a file's name is escaped", {{"b\\c.89s", sample()}},
                 {"b\\c.89s"}, show_header + sample_columns + "b\\x5cc.89s\n", "", 0),
      show("paths as people read them: accents as they are; escaped, a class at a time: C0 "
           "(ESC), DEL, C1, a stray byte; bidi, zero-width and line separator formats (Cf, Zl); "
           "a space that passes for one (Zs); ignorable characters (a combining joiner, a filler) and a tag",
           {{"caf\xC3\xA9 \xC3\xA9.89s", sample()}, {"\x1b[2J.89s", sample()},
            {"a\xE2\x80\xAEs98.txt", sample()}, {unseen, sample()}, {"a\xC2\xA0" "b.89s", sample()}},
           {"caf\xC3\xA9 \xC3\xA9.89s", "\x1b[2J.89s", "a\xE2\x80\xAEs98.txt", "\x1b]0;t\a.89s",
            unseen, "a\xC2\xA0" "b.89s"},
           show_header + sample_columns + "caf\xC3\xA9 \xC3\xA9.89s\n" + sample_columns +
               "\\x1b[2J.89s\n" + sample_columns + "a\\xe2\\x80\\xaes98.txt\n" + sample_columns +
               "\\x7f\\xc2\\x85\\xff\\xe2\\x81\\xa6\\xe2\\x81\\xa9\\xe2\\x80\\x8b\\xe2\\x80\\xa8"
               "\\xcd\\x8f\\xe3\\x85\\xa4g\\xf3\\xa0\\x81\\x81.89s\n" + sample_columns +
               "a\\xc2\\xa0b.89s\n",
           "ostrel-show: \\x1b]0;t\\x07.89s: no such file\n", 1, Stream::captured, {},
           "names with control characters"),
      show("a UTF-8 path: as it is in JSON and in a message", {{"\xC3\xA9.89s", sample()}},
           {"--json", "\xC3\xA9.89s", "\xC3\xBC.89p"},
           "[\n{\"path\":\"\xC3\xA9.89s\"," + sample_json_fields +
               ",\n{\"path\":\"\xC3\xBC.89p\",\"error\":\"no such file\"}\n]\n",
           "ostrel-show: \xC3\xBC.89p: no such file\n", 1),
      show("a path that is not UTF-8: each stray byte as \\udcXX", {{"\xE9\xC3.89s", sample()}},
           {"--json", "\xE9\xC3.89s"},
           "[\n{\"path\":\"\\udce9\\udcc3.89s\"," + sample_json_fields + "\n]\n", "", 0,
           Stream::captured, {}, "bytes that are not UTF-8"),
      show("a UTF-8-encoded surrogate, a C1 character, an isolate and a tag in a path: none raw "
           "in JSON",
           {{"\xED\xA0\x80\xC2\x9B\xE2\x81\xA6\xF3\xA0\x81\x81.89s", sample()}},
           {"--json", "\xED\xA0\x80\xC2\x9B\xE2\x81\xA6\xF3\xA0\x81\x81.89s"},
           "[\n{\"path\":\"\\udced\\udca0\\udc80\\u009b\\u2066\\udb40\\udc41.89s\"," +
               sample_json_fields + "\n]\n",
           "",
           0, Stream::captured, {}, "bytes that are not UTF-8"),
      show("a Flash file: a line per part, a revision of 10 or more", {{"t.89k", flash()}},
           {"t.89k"}, show_header + flash_lines("t.89k"), "", 0),
      refused("a Flash file cut short in a part's data", cut(flash(), 80), truncated),
      refused("a Flash file cut short in a part's header", cut(flash(), 100), truncated),
      refused("a Flash file for another family", patched(flash(), {{48, "\x73"}}),
              "not a TI-68k Flash file"),
      refused("a later Flash part for another family", build_flash_file({{}, other_family}),
              "not a TI-68k Flash file"),
      show("a last Flash part with no data", {{"t.89k", build_flash_file({{}, no_data})}},
           {"t.89k"}, show_header + application_line("t.89k") + application_line("t.89k", '0'), "",
           0),
      refused("an empty file", {}, not_variable_file),
      refused("not a variable file", Bytes(100, 'x'), not_variable_file),
      refused("cut inside the header", cut(sample(), 70), truncated),
      refused("cut inside the data", cut(sample(), 100), truncated),
      refused("65535 entries", patched(sample(), {{58, "\xFF\xFF"}}), truncated),
      refused("a data offset past the end", patched(sample(), {{60, "\xF0\xFF\xFF\xFF"}}),
              misplaced),
      refused("a data offset inside the header", patched(sample(), {{60, "\x0a" + zeros(3)}}),
              misplaced),
      refused("a group whose offsets go backwards",
              patched(group(), {{60 + 16 * 3, "\x80" + zeros(3)}}), misplaced),
      refused("a group whose middle offset lies past the end",
              patched(group(), {{60 + 16 * 3, "\xF0\xFF\xFF\x7F"}}), misplaced),
      refused("a table of folders only", patched(sample(), {{72, "\x1f"}}), no_variables),
      show("--check: a sound file, no problem", {{"hello.89s", sample()}}, {"--check", "hello.89s"},
           "", checked(1, 0), 0),
      show("--check: checksum", {{"bad.89s", patched(sample(), {{108, zeros(1)}})}},
           {"--check", "bad.89s"},
           "bad.89s: checksum: main\\hello: wrong checksum (stored 0x0600, computed 0x06c2)\n",
           checked(1, 1), 1),
      show("--check: signature-vs-name, mended by ostrel; and where ostrel cannot, or will not: "
           "a V200 file named for the Voyage 200 or the TI-92 Plus is none",
           {{"g.89s", signed_as("**TI92P*")}, {"my g.89S", signed_as("**v200**")},
            {"it's.89s", signed_as("**TI92P*")}, {"g.92s", signed_as("**TI89**")},
            {"t.v2k", flash()}, {"v.v2x", build_var_file(v200_macro)},
            {"v.9xx", build_var_file(v200_macro)}},
           {"--check", "g.89s", "my g.89S", "it's.89s", "g.92s", "t.v2k", "v.v2x", "v.9xx"},
           for_89("g.89s", "TI-92 Plus", "**TI92P*", " (mend: ostrel -q -ti 89 g.89s)") +
               for_89("my g.89S", "Voyage 200", "**v200**",
                      " (mend: ostrel-show -q --fix -- " +
                          per_system("'my g.89S'", "\"my g.89S\"") + ")") +
               for_89("it's.89s", "TI-92 Plus", "**TI92P*",
                      " (mend: ostrel -q -ti 89 " +
                          per_system("'it'\\''s.89s'", "\"it's.89s\"") + ")") +
               "g.92s: signature-vs-name: is for the TI-89 (**TI89**), but named for the TI-92\n"
           "t.v2k: signature-vs-name: is for the TI-89 (device type 0x98), but named for the "
           "Voyage 200\n",
           checked(7, 5), 1),
      show("--check: type-vs-name, mended by a rename never replacing a file; a group of one is "
           "none",
           {{"g.89p", sample()}, {"g.89g", sample()}, {"a.89S", build_var_file(assembly)}},
           {"--check", "g.89p", "g.89g", "a.89S"},
           "g.89p: type-vs-name: holds a string (type 0x0c), whose letter is s, not p (mend: "
           "ostrel-show -q --fix -- g.89p)\na.89S: type-vs-name: holds an assembly program (type "
           "0x21), whose letter is z, not s (mend: ostrel-show -q --fix -- a.89S)\n",
           checked(3, 2), 1),
      no_mend,
      fix,
      fix_again,
      deep_tree,
      fixed_quietly,
      fixed_json,
      latin1,
      show("--mends: the commands alone, one per line",
           {{"g.89s", signed_as("**TI92P*")}, {"p.89p", sample()}, {"bad.89s", two_wrong_sums}},
           {"--mends", "g.89s", "p.89p", "bad.89s"},
           "ostrel -q -ti 89 g.89s\nostrel-show -q --fix -- p.89p\n",
           checked(3, 3), 1),
      show("-r: the TI-68k files of a folder and of the folders in it, any case, in name order; a "
           "file given is listed",
           walked, {"-r", "c", "hello.89s"},
           show_header + sample_columns + "c" + sep + "B.92p\n" + flash_lines("c" + sep + "a.9xk") +
               sample_columns + "c" + sep + "b.89S\n" + sample_columns + "c" + sep + "d.89p" + sep +
               "x.v2s\n" + sample_line,
           "", 0),
      walk_with_links,
      show("--check: every wrong checksum of a file", {{"g.89g", two_wrong_sums}},
           {"--check", "g.89g"},
           "g.89g: checksum: main\\a: wrong checksum (stored 0x0000, computed 0x00a9)\ng.89g: "
           "checksum: games\\tetris: wrong checksum (stored 0x0000, computed 0x00c5)\ng.89g: "
           "entries: games\\odd: attribute 0x05 is none of RAM, locked, archived\n",
           checked(1, 1), 1),
      show("--check: length, cut short or with bytes after its end",
           {{"cut.89s", cut(sample(), 100)}, {"long.89s", patched(sample(), {{110, "xy"}})}},
           {"--check", "cut.89s", "long.89s"},
           "cut.89s: length: cut short: its header says 110 bytes, the file has 100\nlong.89s: "
           "length: bytes after its end: its header says 110 bytes, the file has 112\n",
           checked(2, 2), 1),
      show("--check: entries: an attribute, a folder's count, data out of place",
           {{"a.89g", group()}, {"b.89g", patched(group(), {{74, "\x05"}})},
            {"c.89s", patched(sample(), {{60, "\xF0\xFF\xFF\xFF"}})}},
           {"--check", "a.89g", "b.89g", "c.89s"},
           "a.89g: entries: games\\odd: attribute 0x05 is none of RAM, locked, archived\nb.89g: "
           "entries: games\\odd: attribute 0x05 is none of RAM, locked, archived\nb.89g: "
           "entries: folder entry main counts 5 variables, 1 follow it\nc.89s: entries: a "
           "variable's data lies outside the file or runs into another's\n",
           checked(3, 3), 1),
      show("--check --json: the problems on each file's object", {{"g.89s", signed_as("**TI92P*")}},
           {"--check", "--json", "g.89s", "gone.89s"},
           "[\n{\"path\":\"g.89s\",\"kind\":\"variable\",\"family\":\"TI-92 Plus\",\"signature\":"
           "\"**TI92P*\"" + sample_json_rest +
               ",\"problems\":[{\"code\":\"signature-vs-name\",\"message\":\"is for the TI-92 Plus "
           "(**TI92P*), but named for the TI-89\",\"mend\":\"ostrel -q -ti 89 g.89s\","
           "\"mend_args\":[\"ostrel\",\"-q\",\"-ti\",\"89\",\"g.89s\"]}]},\n"
           "{\"path\":\"gone.89s\",\"error\":\"no such file\",\"problems\":[]}\n]\n",
           "ostrel-show: gone.89s: no such file\n" + checked(2, 2), 1),
      show("standard input", {}, {"-"}, show_header + sample_columns + "-\n", "", 0,
           Stream::captured, bytes_of(sample())),
      show("standard input in JSON; ./- is a file", {}, {"--json", "-", "./-"},
           "[\n{\"path\":\"-\"," + sample_json_fields +
               ",\n{\"path\":\"./-\",\"error\":\"no such file\"}\n]\n",
           "ostrel-show: ./-: no such file\n", 1, Stream::captured, bytes_of(sample())),
      show("standard output closed: a listing that cannot be written is a failure",
           {{"hello.89s", sample()}}, {"hello.89s"}, "", cannot_write_output, 1, Stream::closed),
      show("standard output failing partway: the listing stops there", many, many_args, "",
           cannot_write_output, 1, Stream::full),
      show("help that cannot be written", {}, {"--help"}, "", cannot_write_output, 1, Stream::full),
      show("the version, that cannot be written", {}, {"--version"}, "", cannot_write_output, 1,
           Stream::full),
      show("-- ends the options", {}, {"--", "--json"}, "", "ostrel-show: --json: no such file\n",
           1),
      show("--version", {}, {"hello.89s", "--version"}, "ostrel-show " OSTREL_VERSION "\n", "", 0),
      show("no file", {}, {"--json"}, "", "ostrel-show: no file given\n" + try_help, 2),
      show("an unknown option", {}, {"--jsn", "hello.89s"}, "",
           "ostrel-show: unknown option '--jsn'\n" + try_help, 2),
  };
  for (const Row& row : rows) check(row);
}

// On Windows, as a Windows parent starts it: the end of a piped standard input is its end, not a
// read error; no standard input handle at all is a failure, not an empty file.
TEST(Show, WindowsStandardInput) {
  if (!testing_windows()) GTEST_SKIP() << "Windows only";
  const std::string program = ostrel_show_binary().string();
  Row piped = show("a Windows pipe", {}, {"pipe", program, "-"},
                   show_header + sample_columns + "-\n", "", 0, Stream::captured,
                   bytes_of(sample()));
  Row none = show("no standard input handle", {}, {"none", program, "-"}, "",
                  "ostrel-show: -: cannot be read\n", 1);
  for (Row row : {piped, none}) {
    row.binary = windows_launcher();
    check(row);
  }
}

// The mends of hostile names, run by every POSIX shell, and from the JSON's mend_args by a script
// with no shell, mend exactly the named files, once: a second round finds nothing to mend and
// changes nothing; decoys, named as a shell would misread a name, stay as they were.
TEST(Mends, EveryShellMendsExactlyTheNamedFiles) {
  POSIX_ONLY("POSIX shells");
  const std::vector<std::vector<std::string>> classes = {  // signed for the TI-92 Plus
      {"a\nb.89s", "\n.89s", "\x1b[2J.89s", "\x01\x7f.89s", "t\tb.89s", "r\r.89s"},  // controls
      {"\xff\xfe.89s", "\xc3.89s", "\xc2\x9b" "1m.89s", "a\xe2\x80\xae.89s",
       "\xf3\xa0\x81\x81.89s"},
      {"it's.89s", "\"q\".89s", "$HOME.89s", "`id`.89s", "$(id).89s", "a\\b.89s", "a;b&c|d>e.89s"},
      {" a.89s", "two  b.89s", "-x.89s", "*.89s", "?[a].89s", "~root.89s"},  // spaces, patterns
      {"caf\xc3\xa9.89s", "\xd1\x8d\xd0\xbd.89s", "\xcf\x86.89s"}};        // other scripts
  const std::string json = "python3 -c 'import json, os, subprocess, sys\ns = 0\nfor f in json.load("
                           "sys.stdin):\n for p in f.get(\"problems\", []):\n  if \"mend_args\" in p: s = "
                           "max(s, subprocess.run([os.fsencode(a) for a in p[\"mend_args\"]]).returncode)"
                           "\nsys.exit(s)'";
  VarSpec program = sample_spec();
  program.type = 0x12;
  const Bytes text = patched(sample(), {{72, "\x0b"}});
  // A rename whose name is taken by a folder, or between the listing and the mend: no mend, and
  // that mend fails.
  const std::string taken = "type-vs-name: holds a string (type 0x0c), whose letter is s, not p "
                            "(no mend: ";
  const std::string folder_line = "f.89p: " + taken + "f.89s is taken)\n";
  const std::string late_line = "late.89p: " + taken + "late.89s is taken)\n";
  for (const std::string shell : {"dash", "bash", "zsh", "busybox", "python3", "--fix"}) {
    if (shell != "--fix" && !std::filesystem::exists("/usr/bin/" + shell)) continue;
    const std::string run =
        shell == "--fix"     ? ": >late.89s; \"$SHOW\" --fix -q -- \"$@\""
        : shell == "python3" ? "m=$(\"$SHOW\" --check --json -- \"$@\"); : >late.89s; printf '%s' "
                               "\"$m\" | " + json
                             : "m=$(\"$SHOW\" --mends -- \"$@\"); : >late.89s; printf '%s\\n' \"$m\" | " +
                                   shell + (shell == "busybox" ? " sh" : "");
    for (const std::vector<std::string>& names : classes) {
      // Besides, a program named for a string, renamed; a file as a run killed between its rename
      // and its writes leaves it (the new name, the old signature), finished; a chain of renames;
      // an extension ostrel takes only with -n_extcheck, its warnings unseen.
      Files before = {{"p.89s", build_var_file(program)}, {"k.v2s", sample()},
                      {"b.89p", sample()}, {"b.89s", text}, {"f.89p", sample()}, {"f.89s/", {}},
                      {"U.89S", signed_as("**TI92P*")}, {"late.89p", sample()}};
      Files after = {{"p.89p", build_var_file(program)}, {"k.v2s", signed_as("**TI92P*")},
                     {"b.89s", sample()}, {"b.89t", text}, {"f.89p", sample()}, {"f.89s/", {}},
                     {"U.89S", sample()}, {"late.89p", sample()}, {"late.89s", {}}};
      std::vector<std::string> args = {"-c", run, "sh", "p.89s", "k.v2s", "b.89p", "b.89s",
                                       "f.89p", "U.89S"};
      for (const std::string& name : names) {
        before[name] = signed_as("**TI92P*");
        after[name] = sample();
        args.push_back(name);
        std::string plain;  // the name without the bytes a shell may drop
        std::copy_if(name.begin(), name.end(), std::back_inserter(plain), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '.';
        });
        for (const std::string& decoy : {plain, "$" + name, name.substr(0, name.size() - 4)}) {
          if (!decoy.empty() && !before.contains(decoy)) before[decoy] = after[decoy] = Bytes{'d'};
        }
      }
      args.push_back("late.89p");
      const int files = static_cast<int>(args.size()) - 3;
      const bool fix = shell == "--fix";
      Row round = {shell + ": " + names.front(), args, before,
                   fix ? folder_line + late_line : late_line, fix ? "" : checked(files, files), 1,
                   after};
      round.binary = "/bin/sh";
      round.env = {"SHOW=" + ostrel_show_binary().string(),
                   "PATH=" + ostrel_binary().parent_path().string() + ":" + std::getenv("PATH")};
      check(round);
      // Once more: nothing left that can be mended, nothing changed.
      round.before = after, round.args[3] = "p.89p", round.args[5] = "b.89t";
      round.out = fix ? folder_line + late_line : "", round.status = fix ? 1 : 0;
      round.err = fix ? "" : checked(files, 2);
      check(round);
    }
  }
}

// On Windows, cmd's for /f runs the mends on names with spaces and % ! & ^ ', as the manual
// shows it (in a batch file). (wine's cmd reads the command's output in no UTF-8 code page, and
// runs none of its own commands such as ren from a for /f: the bytes of those mends are checked
// above.)
TEST(Mends, CmdRunsTheMendsOnWindows) {
  if (!testing_windows()) GTEST_SKIP() << "Windows only";
  Files before = {{"mend.cmd", {}}}, after;
  const std::string script = "@chcp 65001 >nul\r\n@for /f \"delims=\" %%m in ('ostrel-show --mends "
                             "-r .') do @%%m\r\n";
  before["mend.cmd"] = after["mend.cmd"] = Bytes(script.begin(), script.end());
  for (const std::string name : {"two b.89s", "50% off.89s", "a!b.89s", "a&b.89s", "a^b.89s",
                                 "it's.89s", "%PATH%.89s"}) {
    before[name] = signed_as("**TI92P*");
    after[name] = sample();
  }
  Row row = {"cmd's for /f", {"/c", "mend.cmd"}, before, "", checked(7, 7), 0, after};
  row.binary = "cmd.exe";
  row.env = {"WINEPATH=" + ostrel_binary().parent_path().string()};
  check(row);
}

// A path that is not UTF-8 comes back byte for byte from the JSON through Python's os.fsencode.
TEST(Show, JsonPathsComeBackThroughPython) {
  POSIX_ONLY("bytes that are not UTF-8");
  const std::filesystem::path python = "/usr/bin/python3";
  if (!std::filesystem::exists(python)) GTEST_SKIP() << "python3 is not installed";
  ScratchDir dir;
  const std::string name = "\xE9t\xC3\xA9\xFF\x80\x7F.89s";  // stray bytes around a valid é
  write_bytes(dir / name, sample());
  const Outcome listed = run_program(
      {.args = {"--json", name}, .cwd = dir.path(), .binary = ostrel_show_binary()});
  const Outcome decoded = run_program(
      {.args = {"-c", "import json, os, sys; sys.stdout.buffer.write(os.fsencode("
                      "json.loads(sys.stdin.read())[0]['path']))"},
       .cwd = dir.path(),
       .binary = python,
       .input = listed.out});
  EXPECT_EQ(decoded.err, "");
  EXPECT_EQ(decoded.out, name) << listed.out;
}

// --help and -h win over anything else on the line; on Windows, /? asks for it too.
TEST(Show, HelpGoesToStandardOutput) {
  std::vector<std::vector<std::string>> asks = {{"--help", "--jsn"}, {"-h"}};
  if (testing_windows()) asks.push_back({"/?"});
  for (const auto& args : asks) {
    ScratchDir dir;
    const Outcome run =
        run_program({.args = args, .cwd = dir.path(), .binary = ostrel_show_binary()});
    EXPECT_TRUE(run.out.starts_with(
        "Usage: ostrel-show [--json] [--check | --mends | --fix] [-q] [-r] [--] FILE...\n"))
        << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
  }
}

}  // namespace
}  // namespace ostrel::testing
