#include "text_lines.h"

namespace varnel {

std::vector<std::string> SplitTextLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r')
            ++start;
        if (start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

}  // namespace varnel
