#pragma once
// Mini configuration files: a snapshot of the device's stored settings as a list
// of ready-to-send commands, one per line ("3CN", then for each input "1PC",
// "-1PE", ...), and the state of a paced replay of such a file, where each line
// goes out only once the device has answered the register the previous line set.
//
// Plain C++ with POSIX file calls: the files are written to a temporary file in the
// same folder and renamed over the old one, so a crash or a full disk never leaves
// a truncated configuration behind.

#include "register_table.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

/// Number of lines of a saved mini configuration (37 single registers, 11 per-channel ones).
inline constexpr std::size_t kMiniConfigLineCount = 213;
/// Files larger than this are not mini configurations; they are refused unread.
inline constexpr std::size_t kMiniConfigMaxFileSize = 1 << 20;

/// Reads the local copy of a register for the save: `channel` is 1..8 for the
/// per-channel registers and 0 for the others.
using MiniConfigReader = std::function<std::uint32_t(std::uint16_t index, int channel)>;

/// The lines of a mini configuration, in register index order: "<value><CmdCode>"
/// for SAVE_VALUE registers (a Boolean true as "-1"), and for SAVE_PER_CHANNEL
/// registers "<c>PC" then "<value><CmdCode>" for channels 1..8.
std::vector<std::string> BuildMiniConfig(const MiniConfigReader &read);

/// The file text: every line followed by CR LF.
std::string MiniConfigText(const std::vector<std::string> &lines);

/// Cuts file text into lines at CR LF, CR or LF. Blank lines are dropped: they
/// carry no command and would only stall a replay.
std::vector<std::string> SplitMiniConfigLines(std::string_view text);

/// A command line split into its value part (the leading characters up to the
/// first one whose code is above that of ":") and its code part (the rest).
struct MiniConfigCommand {
    std::string_view value;
    std::string_view code;
};
MiniConfigCommand SplitMiniConfigCommand(std::string_view line);

/// Replaces `path` with `bytes` through a temporary file in the same folder.
/// Returns an empty text on success, else the error to show ("<path>: <reason>").
std::string WriteFileReplacing(const std::string &path, std::string_view bytes);

/// Reads a whole file of at most `limit` bytes. On failure returns nothing and
/// sets `error` to the reason.
std::optional<std::string> ReadSmallFile(const std::string &path, std::size_t limit, std::string &error);

/// The state of a replay: the lines, the next line to send, the register whose
/// report releases it, the loading flag and the progress in percent.
class MiniConfigLoader {
public:
    /// Starts a replay of `lines` (next line 0, loading).
    void begin(std::vector<std::string> lines);
    /// One step: returns the next line to send, if any, after making its
    /// register the awaited one, and updates the progress. When every line has
    /// been sent the replay ends (progress 100, no longer loading).
    std::optional<std::string> step();
    /// True when a report of register `index` releases the next line.
    bool releasedBy(std::uint16_t index) const { return m_loading && index == m_awaited; }
    /// Ends the replay where it stands (nothing more is sent).
    void end() { m_loading = false; }

    bool loading() const { return m_loading; }
    int progress() const { return m_progress; }
    std::uint16_t awaitedVar() const { return m_awaited; }
    std::size_t lineCount() const { return m_lines.size(); }
    std::size_t nextLine() const { return m_next; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
    std::uint16_t m_awaited = 0;
    bool m_loading = false;
    int m_progress = 0;
};

}  // namespace varnel
