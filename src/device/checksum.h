#pragma once
// TCheckSum_NordvikDeveloppement: seals a list of text lines with a last line
// "CheckSum=<sum>" and checks a list read back against it (the settings file and
// the customization files use it).
//
// Lines are single-byte text (the files are Windows-1252): every byte is one
// character. The component shows nothing itself: a failed check fires
// OnInvalideFileNotifyChange, then hands the warning text "Invalid ini file" to
// the warning handler, which the application shows in a message box.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

enum class TTypeReadWrite : std::uint8_t { _Read = 0, _Write = 1 };

class TCheckSum_NordvikDeveloppement;
using TInvalideFileNotifyEvent = std::function<void(TCheckSum_NordvikDeveloppement &sender)>;

class TCheckSum_NordvikDeveloppement {
public:
    static constexpr std::string_view kName = "CheckSum";
    static constexpr std::string_view kInvalidWarning = "Invalid ini file";

    TTypeReadWrite Read_or_Write() const { return m_mode; }
    void setRead_or_Write(TTypeReadWrite mode) { m_mode = mode; }

    /// `_Read`: checks the list; `_Write`: appends the checksum line to it.
    void setStringlist_With_CheckSum(std::vector<std::string> lines);
    /// The list last assigned (sealed when assigned in `_Write` mode).
    const std::vector<std::string> &Stringlist_With_CheckSum() const { return m_lines; }

    /// True once a checked list did not match; never goes back to false.
    bool InvalideFile() const { return m_invalid; }

    void setOnInvalideFileNotifyChange(TInvalideFileNotifyEvent handler) { m_onInvalid = std::move(handler); }
    /// Receives the warning text after each failed check (the application shows it).
    void setWarningHandler(std::function<void(std::string_view)> handler) { m_warning = std::move(handler); }

    /// The sum of a list: the lines joined with CR LF, summed from the first
    /// character (counted twice) to the first "C" of the first "CheckSum"; a
    /// character of code 128 or more counts 128.
    static std::int64_t Sum(const std::vector<std::string> &lines);
    /// Index of the first line whose name (text before the first "=") is
    /// "CheckSum", compared without regard to case.
    static std::optional<std::size_t> IndexOfName(const std::vector<std::string> &lines, std::string_view name);

private:
    void check();
    void seal();

    TTypeReadWrite m_mode = TTypeReadWrite::_Read;
    std::vector<std::string> m_lines;
    bool m_invalid = false;
    TInvalideFileNotifyEvent m_onInvalid;
    std::function<void(std::string_view)> m_warning;
};

}  // namespace varnel
