#include "header_line.h"

#include <cstring>

namespace nubora {

std::optional<std::pair<std::string, std::string>> parseHeaderLine(const char *line,
                                                                   std::size_t length)
{
    const auto *colon = static_cast<const char *>(std::memchr(line, ':', length));
    if (!colon)
        return std::nullopt;

    const char *end = line + length;
    const char *valueStart = colon + 1;
    while (valueStart < end && (*valueStart == ' ' || *valueStart == '\t'))
        ++valueStart;

    // A bare line feed ending is tolerated as well.
    const char *valueEnd = (end > valueStart && end[-1] == '\n') ? end - 1 : end;
    for (const char *cursor = end; cursor > valueStart; --cursor)
        if (cursor[-1] == '\r') {
            valueEnd = cursor - 1;
            break;
        }
    return std::make_pair(std::string(line, colon), std::string(valueStart, valueEnd));
}

bool isHeaderBlockEnd(const char *line, std::size_t length)
{
    return length == 2 && line[0] == '\r' && line[1] == '\n';
}

} // namespace nubora
