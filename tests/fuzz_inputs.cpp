// Fuzz target over the command-line parse, the console formatting, the field images, the
// extension rules, the variable file reader and the editor's look at a file's head. The input is
// split at zero bytes into the argument list, and read whole as a variable file. Every property
// below must hold for any input; a violation aborts (and a read past the input's end is caught by
// AddressSanitizer).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "console/console.h"
#include "show/check.h"
#include "show/listing.h"
#include "varfile/charset.h"
#include "varfile/flash_reader.h"
#include "varfile/extension.h"
#include "varfile/header.h"
#include "varfile/var_reader.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// A text field of the request must be one whole argument (the parse makes no copies).
void require_whole_argument(const std::optional<std::string_view>& field,
                            const std::vector<const char*>& argv) {
  if (!field) return;
  bool found = false;
  for (const char* arg : argv) found = found || (field->data() == arg && field->size() == std::strlen(arg));
  require(found);
}

template <std::size_t N>
void check_field_image(std::string_view value) {
  // The field holds the value as typed, cut at `taken`: as its bytes, or as the calculator's text
  // of the same characters, each byte the character it stands for (ASCII stays as it is); zero
  // bytes after it.
  const auto image = ostrel::make_field_image<N>(value);
  require(image.taken <= value.size() && image.truncated == (image.taken < value.size()));
  const std::string_view field(image.bytes.data(), N);
  const std::string_view written = field.substr(0, field.find('\0'));
  require(field.find_first_not_of('\0', written.size()) == std::string_view::npos);
  std::string_view typed = value.substr(0, image.taken);
  if (written == typed) return;
  for (const char byte : written) {
    const std::string_view text = ostrel::ti_character(static_cast<std::uint8_t>(byte));
    const bool ascii = static_cast<unsigned char>(byte) < 0x80 && typed.starts_with(byte);
    require(typed.starts_with(text) || ascii);
    typed.remove_prefix(typed.starts_with(text) ? text.size() : 1);
  }
  require(typed.empty());
}

void check_extension_rules(std::string_view path) {
  const auto extension = ostrel::extension_of(path);
  require(extension.has_value() == (path.find('.') != std::string_view::npos));
  if (!extension) return;
  require(path.ends_with(*extension));
  require(extension->find('.') == std::string_view::npos);
  if (!ostrel::is_known_extension(extension)) return;
  require(extension->size() == 3);
  for (std::string_view code : ostrel::device_codes) {
    const std::string renamed = ostrel::retargeted_path(path, code);
    require(renamed.size() == path.size());
    require(renamed.compare(0, path.size() - 3, path.substr(0, path.size() - 3)) == 0);
    require(renamed.substr(path.size() - 3, 2) == code);
    require(renamed.back() == path.back());
    require(ostrel::is_known_extension(ostrel::extension_of(renamed)));
  }
}

// A text field is a view into the file, at most `width` bytes long, holding no zero byte.
void require_field_of(std::string_view field, std::string_view file, std::size_t width) {
  require(field.size() <= width && field.find('\0') == std::string_view::npos);
  require(field.empty() || (field.data() >= file.data() &&
                            field.data() + field.size() <= file.data() + file.size()));
}

void check_reader(std::string_view file) {
  const ostrel::VarContents contents = ostrel::read_var_contents(file);
  // --check reads the bytes too, whatever the reader made of them: never past their end.
  for (const ostrel::Problem& problem :
       ostrel::variable_file_problems("f.89p", file, contents, {}, {}, ostrel::Charset::utf8)) {
    require(!problem.code.empty() && !problem.message.empty());
  }
  // The editor's look at the head agrees with the reader: where it finds one variable behind a
  // folder entry, the reader lists that one variable, in that folder.
  const ostrel::FileForm form = ostrel::form_of(file.substr(0, ostrel::form_probe_size));
  if (form == ostrel::FileForm::folder_entry_first && contents.error == ostrel::ContentError::none) {
    require(contents.variables.size() == 1);
    const std::string_view folder_entry_name = file.substr(64, 8);
    require(contents.variables[0].folder ==
            folder_entry_name.substr(0, folder_entry_name.find('\0')));
  }
  if (contents.error != ostrel::ContentError::none) return;
  require(!ostrel::family_of(contents.signature).empty() && !contents.variables.empty());
  require_field_of(contents.folder, file, 8);
  require_field_of(contents.comment, file, 40);
  // Each variable's block (four zero bytes, data, checksum) lies in the file, apart from others.
  std::size_t blocks = 0;
  for (const ostrel::VarEntry& variable : contents.variables) {
    require_field_of(variable.folder, file, 8);
    require_field_of(variable.name, file, 8);
    blocks += variable.size + 6;
  }
  require(blocks <= file.size());
  // The listing is one line per variable: printable ASCII where the terminal shows ASCII alone,
  // and where it shows UTF-8, characters it shows, none of them a control or an unseen one.
  const std::string lines = ostrel::human_lines(file.substr(0, 16), contents, ostrel::Charset::ascii);
  require(static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')) ==
          contents.variables.size());
  for (const char c : lines) require(c == '\n' || (c >= 0x20 && c <= 0x7E));
  const std::string utf8 = ostrel::human_lines(file.substr(0, 16), contents, ostrel::Charset::utf8);
  for (std::size_t i = 0; i < utf8.size();) {
    const ostrel::Utf8Char c = ostrel::utf8_char_at(utf8, i);
    require(c.length > 0 && (c.code == '\n' || !ostrel::is_unseen(c.code)));
    i += c.length;
  }
  // Nor any control character: C0, DEL, or C1 (U+0080 to U+009F, C2 80 to C2 9F in UTF-8).
  const std::string json = ostrel::json_object(file.substr(0, 16), contents);
  for (std::size_t i = 0; i < json.size(); ++i) {
    const auto byte = static_cast<unsigned char>(json[i]);
    require(byte >= 0x20 && byte != 0x7F);
    require(byte != 0xC2 || i + 1 == json.size() || static_cast<unsigned char>(json[i + 1]) >= 0xA0);
  }
}

// Every part of a Flash file lies in the file, one after the other.
void check_flash_reader(std::string_view file) {
  const ostrel::FlashContents contents = ostrel::read_flash_contents(file);
  require(ostrel::flash_file_problems("f.v2k", contents).size() <= 1);
  std::size_t parts = 0;
  for (const ostrel::FlashPart& part : contents.parts) {
    require_field_of(part.name, file, 8);
    parts += 78 + std::size_t{part.size};
  }
  require(parts <= file.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  check_reader(input);
  check_flash_reader(input);
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= input.size() && args.size() < 64) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv{"ostrel"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  const ostrel::ParseResult result = ostrel::parse_command_line(static_cast<int>(argv.size()), argv.data());
  const ostrel::EditRequest& request = result.request;
  // A lone --help, -h or --version asks for no edit.
  require(result.info == ostrel::InfoRequest::none ||
          (argv.size() == 2 && result.error == ostrel::ParseError::none && !request.input_path));
  if (result.info != ostrel::InfoRequest::none) return 0;
  switch (result.error) {
    case ostrel::ParseError::none:
      require(std::find(argv.begin() + 1, argv.end(), request.input_path) != argv.end());
      require_whole_argument(request.folder, argv);
      require_whole_argument(request.var_name, argv);
      require_whole_argument(request.comment, argv);
      require_whole_argument(request.target, argv);
      require(!request.destination || std::string_view("rla").find(*request.destination) !=
                                          std::string_view::npos);
      require(!request.target || ostrel::is_device_code(*request.target));
      break;
    case ostrel::ParseError::no_arguments:
      require(argv.size() == 1);
      break;
    default: {
      const std::string message = ostrel::parse_error_message(result);
      require(message.starts_with("\nERROR: Invalid command line argument"));
      require(message.ends_with("\n"));
      if (result.error == ostrel::ParseError::extra_argument) {
        require(message == "\nERROR: Invalid command line argument: '" +
                               std::string(result.offending) + "'\n");
      }
    }
  }

  for (const std::string& arg : args) {
    check_extension_rules(arg);
    check_field_image<8>(arg);
    check_field_image<40>(arg);
    // Formatting never expands a value a second time, and a text without "%" is kept as it is.
    const std::string formatted = ostrel::format_message(arg, {arg, arg});
    if (arg.find('%') == std::string::npos) require(formatted == arg);
    require(ostrel::format_message("'%s'", {arg}) == "'" + arg + "'");
  }
  return 0;
}
