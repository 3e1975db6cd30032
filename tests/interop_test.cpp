// Interoperability with libtifiles and libticonv, the file and character libraries of the TiLP
// link program: files they write, edited by the built ostrel, must still read back with the
// fields the edit asked for; ostrel-show must list every field as libtifiles reads it; the
// calculator's characters and signatures mean to both what they mean to them.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The library's headers are C, and use C's `restrict`, which C++ spells `__restrict`.
#define restrict __restrict
#include <glib.h>
#include <ticonv.h>
#include <tifiles.h>
#undef restrict

#include "tests/support/process.h"
#include "tests/support/var_fixture.h"
#include "varfile/charset.h"
#include "varfile/extension.h"
#include "varfile/header.h"
#include "varfile/layout.h"

namespace ostrel::testing {
namespace {

struct Library {
  Library() { tifiles_library_init(); }
  ~Library() { tifiles_library_exit(); }
};

struct ContentDeleter {
  void operator()(FileContent* content) const { tifiles_content_delete_regular(content); }
};
using Content = std::unique_ptr<FileContent, ContentDeleter>;

struct Original {
  CalcModel model;
  std::uint8_t type;
  std::string folder, name, comment;
  std::uint8_t attr;
  Bytes data;  // the variable data: two size bytes (big-endian), then the body
};

Bytes variable_data(const std::string& body) {
  Bytes data(body.size() + 2);
  data[0] = static_cast<std::uint8_t>(body.size() >> 8);
  data[1] = static_cast<std::uint8_t>(body.size());
  std::copy(body.begin(), body.end(), data.begin() + 2);
  return data;
}

// Writes `originals` with libtifiles into `dir`, as one file (a group file when there are several)
// with the model and comment of the first; returns its name: `name`, or the one libtifiles chose.
std::string write_with_libtifiles(const ScratchDir& dir, const std::vector<Original>& originals,
                                  const char* name = nullptr) {
  Content content(tifiles_content_create_regular(originals.front().model));
  std::memset(content->comment, 0, sizeof content->comment);
  originals.front().comment.copy(content->comment, sizeof content->comment - 1);
  for (const Original& original : originals) {
    VarEntry* entry = tifiles_ve_create_alloc_data(static_cast<uint32_t>(original.data.size()));
    original.folder.copy(entry->folder, sizeof entry->folder - 1);
    original.name.copy(entry->name, sizeof entry->name - 1);
    entry->type = original.type;
    entry->attr = original.attr;
    entry->size = static_cast<uint32_t>(original.data.size());
    std::memcpy(entry->data, original.data.data(), original.data.size());
    tifiles_content_add_entry(content.get(), entry);
  }
  // Without a file name, libtifiles names the file itself (<folder>.<name>.<extension>), in the
  // working directory.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  char* written = nullptr;
  const int result = tifiles_file_write_regular(name, content.get(), &written);
  std::filesystem::current_path(previous);
  if (result != 0 || (name == nullptr && written == nullptr)) {
    ADD_FAILURE() << "libtifiles could not write the file";
    return {};
  }
  if (name != nullptr) return name;  // libtifiles reports a chosen name only
  const std::string chosen = std::filesystem::path(written).filename().string();
  g_free(written);
  return chosen;
}

// Writes `original` as link software often saves one variable, behind a folder entry that names
// its folder (the fixture's group of one), under a name with its model's extension.
std::string write_behind_folder_entry(const ScratchDir& dir, const Original& original) {
  VarSpec var;
  var.signature = original.model == CALC_TI89 ? "**TI89**" : "**TI92P*";
  var.folder = original.folder;
  var.comment = original.comment;
  var.name = original.name;
  var.type = original.type;
  var.attribute = original.attr;
  var.body.assign(original.data.begin() + 2, original.data.end());
  const std::string name = std::string("saved.") + (original.model == CALC_TI89    ? "89p"
                                                    : original.model == CALC_TI92P ? "9xp"
                                                                                   : "v2p");
  write_bytes(dir / name, build_group_file({var}));
  return name;
}

// One edit and what libtifiles must read afterwards.
struct Edit {
  std::vector<std::string> flags;
  std::optional<std::string> folder = {}, name = {}, comment = {};  // expected; none: unchanged
  std::optional<std::uint8_t> attr = {};  // expected, in libtifiles' terms
  std::optional<std::string> target = {};
};

const std::string long_comment = "a comment that goes on well beyond forty bytes";

const std::vector<Edit> edits = {
    {{"-d", "r"}, {}, {}, {}, ATTRB_NONE},
    {{"-d", "l"}, {}, {}, {}, ATTRB_LOCKED},
    {{"-d", "a"}, {}, {}, {}, ATTRB_ARCHIVED},
    {{"-fo", "games"}, "games"},
    {{"-fo", "-"}, ""},
    {{"-fo", "abcdefghij"}, "abcdefgh"},
    {{"-fo", ""}, ""},
    {{"-fi", "tetris"}, {}, "tetris"},
    {{"-fi", "abcdefgh"}, {}, "abcdefgh"},
    {{"-fi", "verylongname"}, {}, "verylong"},
    {{"-fi", ""}, {}, ""},
    {{"-c", "built by make"}, {}, {}, "built by make"},
    {{"-c", long_comment}, {}, {}, long_comment.substr(0, 40)},
    {{"-c", ""}, {}, {}, ""},
    {{"-fo", "jeux", "-fi", "p\xCF\x86", "-c", "caf\xC3\xA9"}, "jeux", "p\x91", "caf\xE9"},
    {{"-ti", "89"}, {}, {}, {}, {}, "89"},
    {{"-ti", "9x"}, {}, {}, {}, {}, "9x"},
    {{"-ti", "v2"}, {}, {}, {}, {}, "v2"},
    {{"-d", "a", "-fo", "-", "-fi", "prog", "-c", "shipped", "-ti", "v2"}, "", "prog", "shipped",
     ATTRB_ARCHIVED, "v2"},
    {{"-ti", "89", "-c", long_comment, "-fi", "abcdefghij", "-fo", "lib", "-d", "l"}, "lib",
     "abcdefgh", long_comment.substr(0, 40), ATTRB_LOCKED, "89"},
};

// The calculator's text `ti` as libticonv decodes it, in UTF-8.
std::string decoded(const char* ti) {
  gunichar2* utf16 = ticonv_charset_ti_to_utf16(CALC_TI89, ti);
  gchar* utf8 = g_utf16_to_utf8(utf16, -1, nullptr, nullptr, nullptr);
  std::string text = utf8;
  g_free(utf8);
  ticonv_utf16_free(utf16);
  return text;
}

// What ostrel-show --json must print for the file at `path`, from what libtifiles read in it.
// The names of the types, destinations and families are this test's own knowledge. libtifiles
// reads the attribute bytes 2 and 3 both as archived, and writes 3 (its own code); ostrel -d a
// writes 2. `archived_byte` says which one the file holds: both are listed as archived.
std::string listing_of(const std::string& path, const FileContent& content, int archived_byte) {
  const std::map<int, std::string> type_names = {
      {0x0B, "text"}, {0x0C, "string"}, {0x12, "program"}, {0x21, "assembly program"}};
  const std::map<int, std::string> attributes = {
      {ATTRB_NONE, "0,\"destination\":\"RAM\""},
      {ATTRB_LOCKED, "1,\"destination\":\"RAM, locked\""},
      {ATTRB_ARCHIVED, std::to_string(archived_byte) + ",\"destination\":\"Archive\""}};
  const bool ti89 = content.model == CALC_TI89;
  std::string json = "[\n{\"path\":\"" + path + "\",\"kind\":\"variable\",\"family\":\"" +
                     (ti89 ? "TI-89" : "TI-92 Plus") + "\",\"signature\":\"" +
                     (ti89 ? "**TI89**" : "**TI92P*") + "\",\"folder\":\"" +
                     decoded(content.default_folder) + "\",\"comment\":\"" +
                     decoded(content.comment) +
                     "\",\"variables\":[";
  for (unsigned i = 0; i < content.num_entries; ++i) {
    const VarEntry& entry = *content.entries[i];
    json += std::string(i == 0 ? "" : ",") + "{\"folder\":\"" + decoded(entry.folder) +
            "\",\"name\":\"" + decoded(entry.name) + "\",\"type\":" + std::to_string(entry.type) +
            ",\"type_name\":\"" +
            type_names.at(entry.type) + "\",\"attribute\":" + attributes.at(entry.attr) +
            ",\"size\":" + std::to_string(entry.size) + ",\"checksum_ok\":" +
            (content.checksum == content.stored_checksum ? "true}" : "false}");
  }
  return json + "]}\n]\n";
}

Outcome show_json(const ScratchDir& dir, const std::string& name) {
  return run_program({.args = {"--json", name}, .cwd = dir.path(), .binary = ostrel_show_binary()});
}

std::string retargeted(const std::string& name, const std::optional<std::string>& target) {
  if (!target) return name;
  std::string result = name;
  result.replace(result.size() - 3, 2, *target);
  return result;
}

TEST(Interop, LibtifilesReadsEditedFiles) {
  Library library;
  const std::vector<Original> originals = {
      {CALC_TI89, 0x12, "main", "game", "a program", ATTRB_NONE, variable_data("\x00\x01\xE5")},
      {CALC_TI89, 0x0C, "strings", "hello", "", ATTRB_ARCHIVED,
       variable_data(std::string("\0Hello\0\x2D", 8))},
      {CALC_TI92P, 0x21, "asm", "tool", "an assembly program", ATTRB_LOCKED,
       variable_data(std::string("\x4E\x75\x00\x00\xF3", 5))},
      {CALC_TI92P, 0x0B, "notes", "todo", "text", ATTRB_NONE,
       variable_data(std::string("\0\x01 line\0\xE0", 9))},
      {CALC_V200, 0x12, "main", "v2prog", "for the Voyage", ATTRB_NONE,
       variable_data(std::string(300, '\x41'))},
      {CALC_V200, 0x0C, "abcdefgh", "abcdefgh", std::string(40, 'x'), ATTRB_NONE,
       variable_data(std::string("\0s\0\x2D", 4))},
  };
  // Each as libtifiles writes it, and behind a folder entry, as link software often saves it.
  std::vector<std::pair<Original, bool>> sources;
  for (const Original& original : originals) {
    sources.insert(sources.end(), {{original, false}, {original, true}});
  }
  int checked = 0;
  for (const auto& [original, behind_folder_entry] : sources) {
    for (const Edit& edit : edits) {
      ScratchDir dir;
      const std::string before = behind_folder_entry ? write_behind_folder_entry(dir, original)
                                                     : write_with_libtifiles(dir, {original});
      ASSERT_FALSE(before.empty());
      std::vector<std::string> args = edit.flags;
      args.insert(args.begin(), "-q");
      args.push_back(before);
      SCOPED_TRACE(before + " edited with " + ::testing::PrintToString(edit.flags));
      const Outcome run = run_program({args, dir.path()});
      ASSERT_EQ(run.status, 0) << run.err;

      const std::string after = retargeted(before, edit.target);
      ASSERT_EQ(list_dir(dir.path()), std::vector<std::string>{after});
      const std::string path = (dir / after).string();
      Content read(tifiles_content_create_regular(CALC_NONE));
      ASSERT_EQ(tifiles_file_read_regular(path.c_str(), read.get()), 0);
      EXPECT_EQ(read->checksum, read->stored_checksum) << "checksum no longer holds";
      ASSERT_EQ(read->num_entries, 1u);
      const VarEntry& entry = *read->entries[0];
      EXPECT_EQ(std::string(entry.folder), edit.folder.value_or(original.folder));
      EXPECT_EQ(std::string(entry.name), edit.name.value_or(original.name));
      EXPECT_EQ(std::string(read->comment), edit.comment.value_or(original.comment));
      EXPECT_EQ(entry.attr, edit.attr.value_or(original.attr));
      EXPECT_EQ(entry.type, original.type);
      ASSERT_EQ(entry.size, original.data.size());
      EXPECT_EQ(Bytes(entry.data, entry.data + entry.size), original.data);

      // The signature gives the family (the TI-92 Plus and the Voyage 200 share one); the name's
      // extension gives the device.
      const std::string target = edit.target.value_or(original.model == CALC_TI89    ? "89"
                                                      : original.model == CALC_TI92P ? "9x"
                                                                                     : "v2");
      EXPECT_EQ(read->model, target == "89" ? CALC_TI89 : CALC_TI92P);
      const CalcModel by_name = target == "89" ? CALC_TI89 : target == "9x" ? CALC_TI92P : CALC_V200;
      EXPECT_EQ(tifiles_file_get_model(path.c_str()), by_name);

      const Outcome shown = show_json(dir, after);
      EXPECT_EQ(shown.status, 0) << shown.err;
      EXPECT_EQ(shown.out, listing_of(after, *read, edit.attr ? 2 : 3));
      ++checked;
    }
  }
  std::printf("interop: %d edited files read back with libtifiles and ostrel-show\n", checked);
}

TEST(Interop, OstrelShowListsAGroupLibtifilesWrites) {
  Library library;
  for (const CalcModel model : {CALC_TI89, CALC_V200}) {
    const std::vector<Original> variables = {
        {model, 0x0C, "main", "a", "a group", ATTRB_NONE,
         variable_data(std::string("\0a\0\x2D", 4))},
        {model, 0x12, "main", "prog", "", ATTRB_LOCKED, variable_data("\x00\x01\xE5")},
        {model, 0x21, "games", "tetris", "", ATTRB_ARCHIVED,
         variable_data(std::string(700, '\xF3'))},
        {model, 0x0B, "zz", "notes", "", ATTRB_NONE,
         variable_data(std::string("\0\x01 x\0\xE0", 6))},
    };
    ScratchDir dir;
    const std::string name =
        write_with_libtifiles(dir, variables, model == CALC_TI89 ? "group.89g" : "group.v2g");
    Content read(tifiles_content_create_regular(CALC_NONE));
    ASSERT_EQ(tifiles_file_read_regular((dir / name).c_str(), read.get()), 0);
    ASSERT_EQ(read->num_entries, variables.size());

    const Outcome shown = show_json(dir, name);
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out, listing_of(name, *read, 3));
  }
}

// Each byte decodes to the text libticonv gives it, and the text of all 255 encodes back to them,
// by libticonv and as ostrel writes typed text.
TEST(Interop, CalculatorCharactersAsLibticonvDecodes) {
  std::string all_bytes, all_text;
  for (int byte = 1; byte < 256; ++byte) {
    const char ti[2] = {static_cast<char>(byte), 0};
    EXPECT_EQ(ti_character(static_cast<std::uint8_t>(byte)), decoded(ti)) << "byte " << byte;
    all_bytes += ti[0];
    all_text += ti_character(static_cast<std::uint8_t>(byte));
  }
  gunichar2* utf16 = g_utf8_to_utf16(all_text.c_str(), -1, nullptr, nullptr, nullptr);
  char* encoded = ticonv_charset_utf16_to_ti(CALC_TI89, utf16);
  EXPECT_EQ(std::string(encoded), all_bytes);
  std::string typed(all_bytes.size(), '\0');
  const FieldFill fill = fill_field(all_text, typed);
  EXPECT_EQ(typed, all_bytes);
  EXPECT_EQ(fill.taken, all_text.size());
  ticonv_ti_free(encoded);
  g_free(utf16);
}

// Each variable type's letter is the one libtifiles names its files with; a type it names
// otherwise, or not at all, has none.
TEST(Interop, TypeLettersAsLibtifilesNamesThem) {
  Library library;
  for (int type = 0; type < 256; ++type) {
    const std::string extension = tifiles_vartype2fext(CALC_TI89, static_cast<uint8_t>(type));
    const bool named = extension.size() == 3 && extension[2] != '?';
    EXPECT_EQ(type_letter(static_cast<std::uint8_t>(type)),
              named ? std::optional(extension[2]) : std::nullopt)
        << type;
  }
}

// A signature names a TI-68k family, another kind of file, or none, as libtifiles reads it.
TEST(Interop, SignaturesAsLibtifilesReadsThem) {
  const std::map<CalcModel, std::string> families = {
      {CALC_TI89, "TI-89"}, {CALC_TI92, "TI-92"}, {CALC_TI92P, "TI-92 Plus"}, {CALC_V200, "Voyage 200"}};
  std::vector<std::string> signatures = {"**TI89*_", "**TI84P*", "*TI89***", "**TI95**"};
  for (const auto& family : ostrel::families) signatures.emplace_back(family.signature);
  signatures.insert(signatures.end(), other_family_signatures.begin(), other_family_signatures.end());
  for (const std::string& upper : std::vector(signatures)) {
    signatures.push_back(upper);
    for (char& c : signatures.back()) c = static_cast<char>(std::tolower(c));
  }
  for (const std::string& signature : signatures) {
    const CalcModel model = tifiles_signature2calctype(signature.c_str());
    const auto family = families.find(model);
    EXPECT_EQ(family_of(signature), family == families.end() ? "" : family->second) << signature;
    EXPECT_EQ(is_other_kind(signature), model != CALC_NONE && family == families.end())
        << signature;
  }
}

// A Flash file of several parts libtifiles writes, listed as libtifiles reads it back. Its date
// is as real files hold it: day, month, century, year (21 08 20 08, a real application's), which
// libtifiles keeps as a little-endian word (0x0820), so the listing is compared with the bytes.
TEST(Interop, OstrelShowListsFlashFilesLibtifilesWrites) {
  Library library;
  struct Part {
    const char* name;
    std::uint8_t device_type, data_type, data;  // an application's data starts 81, an OS's 80
    std::uint8_t revision_major;
  };
  const std::vector<Part> parts = {{"licence", 0x88, 0x3E, 0, 0x10},
                                   {"ams", 0x88, 0x23, 0x80, 0x02},
                                   {"tetris", 0x98, 0x24, 0x81, 0x12}};
  std::vector<FlashContent*> written;
  for (const Part& part : parts) {
    FlashContent* content = tifiles_content_create_flash(CALC_TI89);
    std::strncpy(content->name, part.name, 8);
    content->device_type = part.device_type, content->data_type = part.data_type;
    content->revision_major = part.revision_major, content->revision_minor = 0x10;
    content->revision_day = 0x21, content->revision_month = 0x08, content->revision_year = 0x0820;
    content->data_length = 300;
    content->data_part = static_cast<uint8_t*>(g_malloc0(300));
    content->data_part[0] = part.data;
    if (!written.empty()) written.back()->next = content;
    written.push_back(content);
  }
  ScratchDir dir;
  const std::string path = (dir / "flash.89k").string();
  ASSERT_EQ(tifiles_file_write_flash(path.c_str(), written.front()), 0);
  tifiles_content_delete_flash(written.front());  // and the parts after it

  FlashContent* read = tifiles_content_create_flash(CALC_NONE);
  ASSERT_EQ(tifiles_file_read_flash(path.c_str(), read), 0);
  const Bytes file = read_bytes(path);
  const std::map<int, std::string> kinds = {
      {0x23, "operating system"}, {0x24, "application"}, {0x3E, "licence"}};
  const auto family = [](int device) { return device == 0x98 ? "TI-89" : "TI-92 Plus"; };
  std::string expected = "[\n{\"path\":\"flash.89k\",\"kind\":\"flash\",\"family\":\"" +
                         std::string(family(read->device_type)) +
                         "\",\"signature\":\"**TIFL**\",\"parts\":[";
  std::size_t at = 0;  // where the part's header is in the file
  for (const FlashContent* part = read; part != nullptr; part = part->next) {
    char fields[160];
    std::snprintf(fields, sizeof fields,
                  "\",\"family\":\"%s\",\"device_type\":%d,\"revision\":\"%x.%02x\","
                  "\"date\":\"%02x%02x-%02x-%02x\",\"size\":%u}",
                  family(part->device_type), part->device_type, part->revision_major,
                  part->revision_minor, file[at + 14], file[at + 15], file[at + 13], file[at + 12],
                  part->data_length);
    expected += std::string(part == read ? "" : ",") + "{\"kind\":\"" +
                kinds.at(part->data_type) + "\",\"data_type\":" +
                std::to_string(part->data_type) + ",\"name\":\"" + part->name + fields;
    at += 78 + part->data_length;
  }
  tifiles_content_delete_flash(read);
  EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 16), (Bytes{0x21, 0x08, 0x20, 0x08}));
  const Outcome shown = show_json(dir, "flash.89k");
  EXPECT_EQ(shown.err, "");
  EXPECT_EQ(shown.out, expected + "]}\n]\n");
}

}  // namespace
}  // namespace ostrel::testing
