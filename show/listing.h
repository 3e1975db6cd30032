#pragma once
// ostrel-show's two listings of a file: aligned lines for people (listing.cpp) and a JSON object
// for scripts (json.cpp). The calculator's own text is decoded to Unicode in both.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/display.h"
#include "show/check.h"
#include "varfile/flash_reader.h"
#include "varfile/var_reader.h"

namespace ostrel {

// The listing for people.

/// The heading line, before the first file's lines.
std::string_view listing_header();
/// A variable file's lines: a line per variable.
std::string human_lines(std::string_view path, const VarContents& contents, Charset charset);
/// A Flash file's lines: a line per part.
std::string human_lines(std::string_view path, const FlashContents& contents, Charset charset);

/// Appends the calculator's text `bytes` decoded, as people read it: a character that `charset`
/// lacks, a control character, and a byte of `also` are shown as the byte, \xNN. Returns the
/// columns the text takes.
std::size_t append_calculator_text(std::string& out, std::string_view bytes, Charset charset,
                                   std::string_view also = {});
/// folder\name, as the calculator writes it; a backslash within either shows escaped. Returns
/// the columns it takes.
std::size_t append_variable(std::string& out, const VarEntry& variable, Charset charset);

/// folder\name: wrong checksum (stored 0x0600, computed 0x06c2), for a variable whose data does
/// not add up to its checksum.
std::string checksum_text(const VarEntry& variable, Charset charset);

void append_number(std::string& out, std::uint32_t number);
/// A Flash part's revision, as 2.09, and date, as 2004-03-15: the digits its header holds.
void append_revision(std::string& out, const FlashPart& part);
void append_date(std::string& out, const FlashPart& part);

// The listing for scripts.

/// One variable file's JSON object.
std::string json_object(std::string_view path, const VarContents& contents);
/// One Flash file's JSON object.
std::string json_object(std::string_view path, const FlashContents& contents);
/// The JSON object of a file that cannot be listed, and why.
std::string json_error(std::string_view path, std::string_view error);
/// `object` with its "problems" (ostrel-show --check) added.
void add_json_problems(std::string& object, const std::vector<Problem>& problems);

}  // namespace ostrel
