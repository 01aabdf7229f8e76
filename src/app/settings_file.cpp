#include "settings_file.h"

#include "text_lines.h"

#include "value_syntax.h"
#include "windows1252.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <functional>
#include <unordered_map>

namespace varnel::app {

namespace {

constexpr qint64 kMaxFileSize = 256 * 1024;  // a settings file is about 4 KB
constexpr qsizetype kMaxNameLength = 256;    // longer names are cut
constexpr std::size_t kMaxLinkTextLength = 255;

constexpr std::array<const char *, 18> kEffectStems{
    "EFFECT", "EFFDUR", "EFFPA", "EFFPB", "EFFPC", "EFFPD", "EFFPE", "EFFPF", "EFFPG",
    "EFFPH", "EFFPI", "EFFPJ", "EFFOPT", "EFFOPEN", "EFFOPNDUR", "EFFCLOSE", "EFFCLSDUR", "EFFNOSCAL",
};

/// Every integer field of a preset with its accepted range, in written order
/// (EFFNOSCAL, the Boolean, comes last and is handled apart).
struct PresetField {
    int EffectPreset::*member = nullptr;
    int paramIndex = -1;  // EFFPA..EFFPJ
    std::int32_t lo = 0;
    std::int32_t hi = 0;
};

int &field(EffectPreset &p, const PresetField &f) { return f.member ? p.*(f.member) : p.EFFP[std::size_t(f.paramIndex)]; }
int fieldValue(const EffectPreset &p, const PresetField &f)
{
    return f.member ? p.*(f.member) : p.EFFP[std::size_t(f.paramIndex)];
}

std::array<PresetField, 17> presetFields()
{
    // Ranges of the effect registers the presets are loaded into.
    auto range = [](PresetField f, const char *name) {
        const VarRange r = VarRanges[*registerByName(name)];
        f.lo = r.minimum;
        f.hi = r.maximum;
        return f;
    };
    std::array<PresetField, 17> fields{};
    fields[0] = range({&EffectPreset::EFFECT}, "EFFECT");
    fields[1] = range({&EffectPreset::EFFDUR}, "EFFDUR");
    for (int i = 0; i < 10; ++i)
        fields[std::size_t(2 + i)] = range({nullptr, i}, kEffectStems[std::size_t(2 + i)]);
    fields[12] = range({&EffectPreset::EFFOPT}, "EFFOPT");
    fields[13] = range({&EffectPreset::EFFOPEN}, "EFFOPEN");
    fields[14] = range({&EffectPreset::EFFOPNDUR}, "EFFOPNDUR");
    fields[15] = range({&EffectPreset::EFFCLOSE}, "EFFCLOSE");
    fields[16] = range({&EffectPreset::EFFCLSDUR}, "EFFCLSDUR");
    return fields;
}

/// Lines as the file holds them, cut at CR LF, CR or LF (an empty line counts; a
/// final line end does not start another line).
std::vector<std::string> splitLines(const QByteArray &bytes)
{
    return SplitTextLines(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

/// The operator name groups in the order the file holds them, with their key stems.
template <typename Names, typename Visit>
void forEachNameGroup(Names &names, Visit visit)
{
    visit(names.inputs, "SAVE_NAME_INPUT");
    visit(names.frames, "SAVE_NAME_FRAME");
    visit(names.logos, "SAVE_NAME_LOGO");
    visit(names.audio, "SAVE_NAME_AUDIO");
    visit(names.outputs, "SAVE_NAME_OUTPUT");
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

/// The entries of a file: the value of the first line whose name matches without
/// regard to case. Indexed once, so a large file costs one pass.
class Entries {
public:
    explicit Entries(const std::vector<std::string> &lines)
    {
        for (const std::string &line : lines) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos || eq > kMaxKeyLength)
                continue;
            std::string name = line.substr(0, eq);
            for (char &c : name)
                c = lower(c);
            m_values.emplace(std::move(name), std::string_view(line).substr(eq + 1));  // the first one stays
        }
    }
    std::optional<std::string_view> value(std::string_view key) const
    {
        std::string name(key);
        for (char &c : name)
            c = lower(c);
        const auto it = m_values.find(name);
        if (it == m_values.end())
            return std::nullopt;
        return it->second;
    }

private:
    static constexpr std::size_t kMaxKeyLength = 32;  // longer than any key of the format
    std::unordered_map<std::string, std::string_view> m_values;
};

std::string key(const char *stem, int n) { return std::string(stem) + std::to_string(n); }

/// Names are one line each: a line break would end the entry and start a new one.
std::string nameBytes(const QString &name)
{
    std::string bytes = toWindows1252(name);
    for (char &c : bytes)
        if (c == '\r' || c == '\n')
            c = ' ';
    return bytes;
}

std::optional<tConnectionType> conTypeByName(std::string_view name)
{
    for (const auto t : {tConnectionType::CON_NONE, tConnectionType::CON_RS232, tConnectionType::CON_UDP,
                         tConnectionType::CON_TCP})
        if (name == conTypeName(t))
            return t;
    return std::nullopt;
}

}  // namespace

const char *conTypeName(tConnectionType type)
{
    switch (type) {
    case tConnectionType::CON_NONE:
        return "CON_NONE";
    case tConnectionType::CON_RS232:
        return "CON_RS232";
    case tConnectionType::CON_UDP:
        return "CON_UDP";
    case tConnectionType::CON_TCP:
        return "CON_TCP";
    case tConnectionType::CON_AMX:
        return "CON_AMX";
    }
    return "CON_NONE";
}

OperatorNames OperatorNames::defaults()
{
    OperatorNames n;
    for (int i = 0; i < 8; ++i) {
        n.inputs[std::size_t(i)] = QStringLiteral("Input %1").arg(i + 1);
        n.logos[std::size_t(i)] = QStringLiteral("Logo %1").arg(i + 1);
        n.audio[std::size_t(i)] = QStringLiteral("Audio %1").arg(i + 1);
    }
    for (int i = 0; i < 4; ++i)
        n.frames[std::size_t(i)] = QStringLiteral("Frame %1").arg(i + 1);
    n.logos[8] = QStringLiteral("Animated Logo");
    n.outputs = {QStringLiteral("Output 1"), QStringLiteral("Output 2")};
    return n;
}

QString settingsFileName(const QString &title) { return title + QStringLiteral(".ini"); }

QString settingsFilePath(const QString &executableDir, bool executableDirWritable, const QString &userConfigDir,
                         const QString &title)
{
    return QDir(executableDirWritable ? executableDir : userConfigDir).filePath(settingsFileName(title));
}

QString settingsFilePath(const QString &title)
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return settingsFilePath(exeDir, QFileInfo(exeDir).isWritable(),
                            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), title);
}

SettingsReadResult SettingsFile::read(const QString &path, AppSettings &settings, LinkAccess &link,
                                      const QStringList &serialPorts)
{
    SettingsReadResult result;
    m_keptPort.reset();
    m_keptType.reset();
    auto finish = [&] {
        if (!result.read)
            settings.names = OperatorNames::defaults();
        m_linkAfterRead = link.read();
        return result;
    };

    QFile file(path);
    if (!file.exists()) {
        if (!serialPorts.isEmpty()) {
            link.setConType(tConnectionType::CON_RS232);
            link.setPort(serialPorts.front());
        }
        return finish();
    }
    result.fileFound = true;
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return finish();
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize) {
        result.error = QStringLiteral("file too large");
        return finish();
    }
    const std::vector<std::string> lines = splitLines(bytes);
    m_checksum.setRead_or_Write(TTypeReadWrite::_Read);
    m_checksum.setStringlist_With_CheckSum(lines);

    const Entries entries(lines);
    if (entries.value("VERSION_INI_FILE") != std::string_view(kSettingsVersion))
        return finish();
    result.read = true;

    auto reject = [&](std::string_view k) { result.rejectedKeys << QString::fromLatin1(k.data(), qsizetype(k.size())); };
    auto integer = [&](std::string_view k, std::int64_t lo, std::int64_t hi) -> std::optional<int> {
        const auto text = entries.value(k);
        const auto v = text ? parseValue(*text) : std::nullopt;
        if (!v || *v < lo || *v > hi) {
            reject(k);
            return std::nullopt;
        }
        return int(*v);
    };
    auto linkText = [&](std::string_view k) -> std::optional<QString> {
        const auto text = entries.value(k);
        if (!text || text->empty() || text->size() > kMaxLinkTextLength) {
            reject(k);
            return std::nullopt;
        }
        return fromWindows1252(*text);
    };

    // The link, in this order; each write may restart the connection.
    const bool haveSerial = !serialPorts.isEmpty();
    if (const auto port = linkText("Port")) {
        if (haveSerial)
            link.setPort(*port);
        else
            m_keptPort = port;
    }
    if (const auto p = integer("IpLocalPort", 0, 65535))
        link.setIpLocalPort(*p);
    if (const auto p = integer("IpRemotePort", 0, 65535))
        link.setIpRemotePort(*p);
    if (const auto a = linkText("IpRemoteAddress"))
        link.setIpRemoteAddress(*a);
    const auto typeText = entries.value("ConType");
    const auto type = typeText ? conTypeByName(*typeText) : std::nullopt;
    if (!type)
        reject("ConType");
    else if (*type == tConnectionType::CON_RS232 && !haveSerial)
        m_keptType = type;
    else
        link.setConType(*type);

    // Names: an empty value is an empty name; a missing key keeps the name.
    auto names = [&](auto &list, const char *stem) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string k = key(stem, int(i + 1));
            if (const auto text = entries.value(k))
                list[i] = fromWindows1252(text->substr(0, std::size_t(kMaxNameLength)));
            else
                reject(k);
        }
    };
    forEachNameGroup(settings.names, names);

    static const auto fields = presetFields();
    for (int k = 0; k < kUserEffectKeyCount; ++k) {
        EffectPreset &preset = settings.effectKeys[std::size_t(k)];
        const int n = kFirstUserEffectKey + k;
        for (std::size_t f = 0; f < fields.size(); ++f)
            if (const auto v = integer(key(kEffectStems[f], n), fields[f].lo, fields[f].hi))
                field(preset, fields[f]) = *v;
        const std::string noScal = key("EFFNOSCAL", n);
        const auto text = entries.value(noScal);
        const QString b = text ? fromWindows1252(*text) : QString();
        if (b.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            preset.EFFNOSCAL = true;
        else if (b.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            preset.EFFNOSCAL = false;
        else if (const auto v = text ? parseValue(*text) : std::nullopt)
            preset.EFFNOSCAL = *v != 0;
        else
            reject(noScal);
    }
    if (const auto c = integer("LumaKeyColor", 0, 0xFFFFFF))
        settings.lumaKeyColor = *c;
    return finish();
}

std::vector<std::string> SettingsFile::lines(const AppSettings &settings, const LinkParameters &driverLink) const
{
    LinkParameters link = driverLink;
    if (driverLink == m_linkAfterRead) {
        // The operator left the link alone: keep the serial set-up this run could not use.
        if (m_keptPort)
            link.port = *m_keptPort;
        if (m_keptType)
            link.type = *m_keptType;
    }
    std::vector<std::string> out;
    out.reserve(kSettingsLineCount);
    out.push_back(std::string("VERSION_INI_FILE=") + kSettingsVersion);
    out.push_back("Port=" + nameBytes(link.port));
    out.push_back("IpLocalPort=" + std::to_string(link.localPort));
    out.push_back("IpRemotePort=" + std::to_string(link.remotePort));
    out.push_back("IpRemoteAddress=" + nameBytes(link.remoteAddress));
    out.push_back(std::string("ConType=") + conTypeName(link.type));
    auto names = [&](const auto &list, const char *stem) {
        for (std::size_t i = 0; i < list.size(); ++i)
            out.push_back(key(stem, int(i + 1)) + "=" + nameBytes(list[i]));
    };
    forEachNameGroup(settings.names, names);
    static const auto fields = presetFields();
    for (int k = 0; k < kUserEffectKeyCount; ++k) {
        const EffectPreset &preset = settings.effectKeys[std::size_t(k)];
        const int n = kFirstUserEffectKey + k;
        for (std::size_t f = 0; f < fields.size(); ++f)
            out.push_back(key(kEffectStems[f], n) + "=" + std::to_string(fieldValue(preset, fields[f])));
        out.push_back(key("EFFNOSCAL", n) + "=" + (preset.EFFNOSCAL ? "True" : "False"));
    }
    out.push_back("LumaKeyColor=" + std::to_string(settings.lumaKeyColor));
    m_checksum.setRead_or_Write(TTypeReadWrite::_Write);
    m_checksum.setStringlist_With_CheckSum(std::move(out));
    return m_checksum.Stringlist_With_CheckSum();
}

QString SettingsFile::write(const QString &path, const AppSettings &settings, const LinkParameters &driverLink)
{
    QByteArray bytes;
    for (const std::string &line : lines(settings, driverLink)) {
        bytes.append(line.data(), qsizetype(line.size()));
        bytes.append("\r\n");
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("Cannot create the folder %1").arg(info.absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

}  // namespace varnel::app
