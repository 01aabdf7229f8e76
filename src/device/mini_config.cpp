#include "mini_config.h"

#include "text_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

std::vector<std::string> BuildMiniConfig(const MiniConfigReader &read)
{
    std::vector<std::string> lines;
    lines.reserve(kMiniConfigLineCount);
    auto valueLine = [](const RegisterInfo &info, std::uint32_t value) {
        // Booleans go out as -1 / 0; other values as their unsigned decimal (all
        // saved ranges are far below 2^31, so this equals the signed form).
        std::string line = info.type == VarType::Boolean ? (value != 0 ? "-1" : "0") : std::to_string(value);
        line.append(info.record.CmdCode);
        return line;
    };
    const std::string_view channelCode = registerInfo(Reg::PCHAN).record.CmdCode;
    for (std::uint16_t i = 0; i < kRegisterCount; ++i) {
        const RegisterInfo &info = registerInfo(i);
        switch (info.record.SaveKind) {
        case TSaveKind::SAVE_VALUE:
            lines.push_back(valueLine(info, read(i, 0)));
            break;
        case TSaveKind::SAVE_PER_CHANNEL:
            for (int c = 1; c <= kChannelCount; ++c) {
                lines.push_back(std::to_string(c).append(channelCode));
                lines.push_back(valueLine(info, read(i, c)));
            }
            break;
        case TSaveKind::SAVE_NONE:
            break;
        }
    }
    return lines;
}

std::string MiniConfigText(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> SplitMiniConfigLines(std::string_view text)
{
    std::vector<std::string> lines = SplitTextLines(text);
    std::erase_if(lines, [](const std::string &line) { return line.empty(); });  // blank lines release nothing
    return lines;
}

MiniConfigCommand SplitMiniConfigCommand(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ':')
        ++i;
    return {line.substr(0, i), line.substr(i)};
}

std::string WriteFileReplacing(const std::string &path, std::string_view bytes)
{
    auto failure = [&path](int error) { return path + ": " + std::strerror(error); };
    // A link to a file is kept: the file it points to is the one replaced.
    std::string target = path;
    if (char *real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    // Keep the permissions of the file being replaced; a new file gets rw-r--r--.
    struct stat old {};
    ::fchmod(fd, ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    const char *p = bytes.data();
    std::size_t left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        p += n;
        left -= std::size_t(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return failure(error);
    }
    return {};
}

std::optional<std::string> ReadSmallFile(const std::string &path, std::size_t limit, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = path + ": " + std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (text.size() + std::size_t(n) > limit) {
            error = path + ": file too large";
            ::close(fd);
            return std::nullopt;
        }
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return text;
}

void MiniConfigLoader::begin(std::vector<std::string> lines)
{
    m_lines = std::move(lines);
    m_next = 0;
    m_loading = true;
    m_progress = 0;
}

std::optional<std::string> MiniConfigLoader::step()
{
    std::optional<std::string> line;
    if (m_next < m_lines.size()) {
        line = m_lines[m_next];
        if (const auto reg = registerByCommand(SplitMiniConfigCommand(*line).code))
            m_awaited = *reg;
        ++m_next;
    } else {
        // The answer to the last line (or an empty file): the replay is over.
        m_loading = false;
    }
    m_progress = m_lines.empty() ? 100 : int(m_next * 100 / m_lines.size());
    return line;
}

}  // namespace varnel
