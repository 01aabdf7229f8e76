#pragma once
// Cutting file text into lines: the program's small text files may come with
// CR LF, CR or LF line ends.

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

/// The lines of `text`, cut at CR LF, CR or LF. An empty line counts; a final
/// line end does not start another line.
std::vector<std::string> SplitTextLines(std::string_view text);

}  // namespace varnel
