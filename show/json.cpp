// ostrel-show's listing for scripts: one JSON array, an object per file given. The calculator's
// text is decoded to Unicode, one byte to one text, so the bytes can be encoded back exactly;
// paths stay UTF-8, each stray byte \udcXX; no control character is written raw.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "show/listing.h"
#include "varfile/charset.h"

namespace ostrel {

namespace {

// How a JSON string stands for bytes.
enum class JsonText {
  code_points,  // each byte is the code point of the same number: any bytes come back exactly
  utf8,  // UTF-8 as it is, and a byte that is not part of it \udcXX, which os.fsencode undoes
};

// \uXXXX, for a code point of the Basic Multilingual Plane.
void append_json_escape(std::string& out, char32_t unit) {
  out += "\\u";
  append_hex_byte(out, static_cast<std::uint8_t>(unit >> 8));
  append_hex_byte(out, static_cast<std::uint8_t>(unit));
}

// A JSON string. What a terminal would act on or a reader could not see (controls, format and
// ignorable characters) is escaped, so that none reaches a terminal raw; the escape keeps the
// character, so nothing is lost.
void append_json_string(std::string& out, std::string_view text, JsonText as) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    const Utf8Char c = as == JsonText::utf8 ? utf8_char_at(text, i) : Utf8Char{byte, 1};
    if (c.length == 0) {
      out += "\\udc";
      append_hex_byte(out, byte);
      ++i;
      continue;
    }
    if (c.code == '"' || c.code == '\\') {
      out += '\\';
      out += static_cast<char>(c.code);
    } else if (is_unseen(c.code) && c.code < 0x10000) {
      append_json_escape(out, c.code);
    } else if (is_unseen(c.code)) {  // beyond it, as its two surrogates
      append_json_escape(out, 0xD800 + ((c.code - 0x10000) >> 10));
      append_json_escape(out, 0xDC00 + ((c.code - 0x10000) & 0x3FF));
    } else if (as == JsonText::code_points && byte >= 0x80) {
      out += static_cast<char>(0xC0 | byte >> 6);
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out.append(text.substr(i, c.length));
    }
    i += c.length;
  }
  out += '"';
}

void append_key(std::string& out, std::string_view key) {
  out += '"';
  out += key;
  out += "\":";
}

// "key":"...", for a text of this program's own or a path.
void append_json_text(std::string& out, std::string_view key, std::string_view text) {
  append_key(out, key);
  append_json_string(out, text, JsonText::utf8);
}

// "key":"...", the calculator's text decoded.
void append_calculator_field(std::string& out, std::string_view key, std::string_view bytes) {
  std::string decoded;
  for (const char byte : bytes) decoded += ti_character(static_cast<std::uint8_t>(byte));
  append_json_text(out, key, decoded);
}

void append_json_number(std::string& out, std::string_view key, std::uint32_t number) {
  append_key(out, key);
  append_number(out, number);
}

// {"path":...,"kind":...,"family":...,"signature":..., the beginning of every file's object.
std::string object_start(std::string_view path, std::string_view kind, std::string_view family,
                         std::string_view signature) {
  std::string object = "{";
  append_json_text(object, "path", path);
  object += ',';
  append_json_text(object, "kind", kind);
  object += ',';
  append_json_text(object, "family", family);
  object += ',';
  append_key(object, "signature");
  append_json_string(object, signature, JsonText::code_points);
  return object;
}

}  // namespace

std::string json_object(std::string_view path, const VarContents& contents) {
  std::string object =
      object_start(path, "variable", family_of(contents.signature), contents.signature);
  object += ',';
  append_calculator_field(object, "folder", contents.folder);
  object += ',';
  append_calculator_field(object, "comment", contents.comment);
  object += ",\"variables\":[";
  bool first = true;
  for (const VarEntry& variable : contents.variables) {
    object += first ? "{" : ",{";
    first = false;
    append_calculator_field(object, "folder", variable.folder);
    object += ',';
    append_calculator_field(object, "name", variable.name);
    object += ',';
    append_json_number(object, "type", variable.type);
    object += ',';
    append_json_text(object, "type_name", type_name(variable.type));
    object += ',';
    append_json_number(object, "attribute", variable.attribute);
    object += ",\"destination\":";
    const std::string_view destination = destination_name(variable.attribute);
    if (destination.empty()) {
      object += "null";
    } else {
      append_json_string(object, destination, JsonText::utf8);
    }
    object += ',';
    append_json_number(object, "size", variable.size);
    object += ",\"checksum_ok\":";
    object += variable.checksum_ok() ? "true}" : "false}";
  }
  object += "]}";
  return object;
}

std::string json_object(std::string_view path, const FlashContents& contents) {
  // The family of the file is that of its first part; each part names its own.
  const std::string_view family = flash_family(contents.parts.front().device_type);
  std::string object = object_start(path, "flash", family, contents.signature);
  object += ",\"parts\":[";
  bool first = true;
  for (const FlashPart& part : contents.parts) {
    object += first ? "{" : ",{";
    first = false;
    append_json_text(object, "kind", flash_kind(part.data_type));
    object += ',';
    append_json_number(object, "data_type", part.data_type);
    object += ',';
    append_calculator_field(object, "name", part.name);
    object += ',';
    append_json_text(object, "family", flash_family(part.device_type));
    object += ',';
    append_json_number(object, "device_type", part.device_type);
    object += ",\"revision\":\"";
    append_revision(object, part);
    object += "\",\"date\":\"";
    append_date(object, part);
    object += "\",";
    append_json_number(object, "size", part.size);
    object += '}';
  }
  object += "]}";
  return object;
}

void add_json_problems(std::string& object, const std::vector<Problem>& problems) {
  object.pop_back();  // the object's closing brace
  object += ",\"problems\":[";
  for (const Problem& problem : problems) {
    object += &problem == &problems.front() ? "{" : ",{";
    append_json_text(object, "code", problem.code);
    object += ',';
    append_json_text(object, "message", problem.message);
    if (!problem.command.empty()) {
      object += ',';
      append_json_text(object, "mend", problem.command);
      object += ",\"mend_args\":[";
      for (const std::string& arg : problem.mend_args) {
        if (&arg != &problem.mend_args.front()) object += ',';
        append_json_string(object, arg, JsonText::utf8);
      }
      object += ']';
    }
    if (!problem.no_mend.empty()) {
      object += ',';
      append_json_text(object, "no_mend", problem.no_mend);
    }
    if (problem.fixed != Fixed::not_tried) {
      object += problem.fixed == Fixed::fixed ? ",\"fixed\":true" : ",\"fixed\":false,";
    }
    if (problem.fixed == Fixed::not_fixed) append_json_text(object, "not_fixed", problem.not_fixed);
    object += '}';
  }
  object += "]}";
}

std::string json_error(std::string_view path, std::string_view error) {
  std::string object = "{";
  append_json_text(object, "path", path);
  object += ',';
  append_json_text(object, "error", error);
  object += '}';
  return object;
}

}  // namespace ostrel
