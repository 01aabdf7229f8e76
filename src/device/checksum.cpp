#include "checksum.h"

#include "value_syntax.h"

namespace varnel {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::int64_t charValue(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code < 128 ? code : 128;
}

}  // namespace

void TCheckSum_NordvikDeveloppement::setStringlist_With_CheckSum(std::vector<std::string> lines)
{
    m_lines = std::move(lines);
    if (m_mode == TTypeReadWrite::_Read)
        check();
    else
        seal();
}

std::int64_t TCheckSum_NordvikDeveloppement::Sum(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines) {
        text += line;
        text += "\r\n";
    }
    if (text.empty())
        return 0;
    // n: 1-based position of the first "CheckSum", 0 when there is none. The sum
    // runs k = 0..n over position k, position 0 standing for position 1.
    const std::size_t found = text.find(kName);
    const std::size_t n = found == std::string::npos ? 0 : found + 1;
    std::int64_t sum = charValue(text[0]);
    for (std::size_t k = 1; k <= n; ++k)
        sum += charValue(text[k - 1]);
    return sum;
}

std::optional<std::size_t> TCheckSum_NordvikDeveloppement::IndexOfName(const std::vector<std::string> &lines,
                                                                       std::string_view name)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t eq = lines[i].find('=');
        if (eq != std::string::npos && equalsNoCase(std::string_view(lines[i]).substr(0, eq), name))
            return i;
    }
    return std::nullopt;
}

void TCheckSum_NordvikDeveloppement::check()
{
    const auto line = IndexOfName(m_lines, kName);
    if (!line)
        return;  // no checksum line: accepted
    const std::string &text = m_lines[*line];
    const auto stored = parseValue(std::string_view(text).substr(text.find('=') + 1));
    if (!stored)
        return;  // missing or not a number: accepted
    if (*stored == Sum(m_lines))
        return;
    m_invalid = true;
    if (m_onInvalid)
        m_onInvalid(*this);
    if (m_warning)
        m_warning(kInvalidWarning);
}

void TCheckSum_NordvikDeveloppement::seal()
{
    m_lines.push_back(std::string(kName) + "=Null");
    const std::int64_t sum = Sum(m_lines);
    // The first line named CheckSum (the one just added unless an earlier one exists).
    m_lines[*IndexOfName(m_lines, kName)] = std::string(kName) + "=" + std::to_string(sum);
}

}  // namespace varnel
