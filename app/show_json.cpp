// ostrel-show's listing for scripts: one JSON array, an object per file given. Header fields map
// each byte to the code point of the same number; paths stay UTF-8, each stray byte \udcXX;
// no control character is written raw.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/show.h"

namespace ostrel {

namespace {

// The length of the well-formed UTF-8 sequence at text[at] (1 for ASCII), or 0 when the byte
// there starts none: a stray, overlong, surrogate or cut sequence.
std::size_t utf8_length(std::string_view text, std::size_t at) {
  constexpr std::array<std::uint32_t, 4> least = {0, 0x80, 0x800, 0x10000};
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t more = 0;
  std::uint32_t code = lead;
  if (lead < 0x80) return 1;
  if (lead >= 0xF0 && lead < 0xF8) {
    more = 3, code = lead & 0x07;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    more = 2, code = lead & 0x0F;
  } else if (lead >= 0xC0 && lead < 0xE0) {
    more = 1, code = lead & 0x1F;
  } else {
    return 0;
  }
  if (text.size() - at <= more) return 0;
  for (std::size_t k = 1; k <= more; ++k) {
    const auto next = static_cast<std::uint8_t>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return more + 1;
}

// How a JSON string stands for bytes.
enum class JsonText {
  code_points,  // each byte is the code point of the same number: any bytes come back exactly
  utf8,  // UTF-8 as it is, and a byte that is not part of it \udcXX, which os.fsencode undoes
};

// A JSON string. Control characters (C0, DEL and C1) are escaped, so that none reaches a
// terminal raw.
void append_json_string(std::string& out, std::string_view text, JsonText as) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = as == JsonText::utf8 ? utf8_length(text, i) : 1;
    if (length == 0) {
      out += "\\udc";
      append_hex_byte(out, byte);
      ++i;
      continue;
    }
    const std::uint32_t code =
        length == 2 ? (byte & 0x1Fu) << 6 | (static_cast<std::uint8_t>(text[i + 1]) & 0x3Fu) : byte;
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
      out += "\\u00";
      append_hex_byte(out, static_cast<std::uint8_t>(code));
    } else if (as == JsonText::code_points && byte >= 0x80) {
      out += static_cast<char>(0xC0 | byte >> 6);
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  out += '"';
}

// "key":"...", the bytes of a header field standing for code points.
void append_json_field(std::string& out, std::string_view key, std::string_view bytes) {
  out += '"';
  out += key;
  out += "\":";
  append_json_string(out, bytes, JsonText::code_points);
}

void append_json_number(std::string& out, std::string_view key, std::uint32_t number) {
  out += '"';
  out += key;
  out += "\":";
  append_number(out, number);
}

}  // namespace

std::string json_object(std::string_view path, const VarContents& contents) {
  std::string object = "{\"path\":";
  append_json_string(object, path, JsonText::utf8);
  object += ",\"family\":";
  append_json_string(object, family_of(contents.signature), JsonText::utf8);
  object += ',';
  append_json_field(object, "signature", contents.signature);
  object += ',';
  append_json_field(object, "folder", contents.folder);
  object += ',';
  append_json_field(object, "comment", contents.comment);
  object += ",\"variables\":[";
  bool first = true;
  for (const VarEntry& variable : contents.variables) {
    object += first ? "{" : ",{";
    first = false;
    append_json_field(object, "folder", variable.folder);
    object += ',';
    append_json_field(object, "name", variable.name);
    object += ',';
    append_json_number(object, "type", variable.type);
    object += ",\"type_name\":";
    append_json_string(object, type_name(variable.type), JsonText::utf8);
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

std::string json_error(std::string_view path, std::string_view error) {
  std::string object = "{\"path\":";
  append_json_string(object, path, JsonText::utf8);
  object += ",\"error\":";
  append_json_string(object, error, JsonText::utf8);
  object += '}';
  return object;
}

}  // namespace ostrel
