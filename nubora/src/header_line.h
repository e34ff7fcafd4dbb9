#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace nubora {

// "Key: value\r\n" -> (key, value): the blanks and tabs after the first colon
// are skipped and the value ends before the line's last carriage return.
// A line without a colon is not a header.
std::optional<std::pair<std::string, std::string>> parseHeaderLine(const char *line,
                                                                   std::size_t length);

// The empty line that closes a header block.
bool isHeaderBlockEnd(const char *line, std::size_t length);

} // namespace nubora
