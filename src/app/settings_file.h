#pragma once
// The application's settings file "VarnelSerie.ini" (and the customization files,
// which share its format): the link parameters, the operator's names, the six user
// effect keys 7..12 and the luma-key colour, one "Key=Value" line each, sealed by
// the checksum component.
//
// No widgets: the reader applies the link to the driver through LinkAccess and
// fills an AppSettings value; the main window copies names and presets into its
// controls, shows the warnings and asks the questions.

#include "checksum.h"
#include "link_parameters.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace varnel::app {

inline constexpr char kSettingsVersion[] = "V0004";
/// Asked before writing over a file after any settings read failed its checksum.
inline constexpr char kSaveInvalidQuestion[] = "ini File is not valide, do you want to save it?";
inline constexpr int kSettingsLineCount = 155;
inline constexpr int kFirstUserEffectKey = 7;
inline constexpr int kUserEffectKeyCount = 6;  ///< keys 7..12

/// One user effect key preset, as the effects panel holds it in its slots 7..12.
struct EffectPreset {
    int EFFECT = 0;  ///< 0 cut, 1 fade, 2 title, 3 PiP
    int EFFDUR = 20;
    std::array<int, 10> EFFP{128, 128, 128, 128, 128, 128, 255, 255, 0, 0};  ///< EFFPA .. EFFPJ
    int EFFOPT = 0;
    int EFFOPEN = 0;
    int EFFOPNDUR = 10;
    int EFFCLOSE = 0;
    int EFFCLSDUR = 10;
    bool EFFNOSCAL = false;

    bool operator==(const EffectPreset &) const = default;
};

/// The names the operator gives to sources, frames, logos, audio channels and outputs.
struct OperatorNames {
    std::array<QString, 12> inputs;  ///< sources 1..12 (9..12 saved, not shown)
    std::array<QString, 4> frames;
    std::array<QString, 9> logos;    ///< logos 1..8 and the animated logo
    std::array<QString, 12> audio;   ///< audio channels 1..12 (1..8 shown)
    std::array<QString, 2> outputs;  ///< main, preview

    /// "Input 1".."Input 8", "Frame 1".., "Logo 1".."Logo 8", "Animated Logo",
    /// "Audio 1".."Audio 8", "Output 1", "Output 2"; sources and audio 9..12 empty.
    static OperatorNames defaults();
    bool operator==(const OperatorNames &) const = default;
};

/// Everything the file holds besides the link.
struct AppSettings {
    OperatorNames names = OperatorNames::defaults();
    std::array<EffectPreset, kUserEffectKeyCount> effectKeys{};  ///< keys 7..12
    int lumaKeyColor = 0xFFFFFF;  ///< 0x00BBGGRR, white until a file says otherwise

    bool operator==(const AppSettings &) const = default;
};

/// What a read did.
struct SettingsReadResult {
    bool fileFound = false;
    /// The version line was right and the values were taken.
    bool read = false;
    /// The file could not be opened or was not a settings file at all (too large).
    QString error;
    /// Keys whose value was missing, not a number or out of range, so the previous
    /// value stayed.
    QStringList rejectedKeys;
};

/// Name of the settings file: `title` + ".ini".
QString settingsFileName(const QString &title = QStringLiteral("VarnelSerie"));
/// Where it lives: next to the executable when that folder is writable (a
/// program run from its build or unpacked folder), else in the user's
/// configuration folder (an installed program).
QString settingsFilePath(const QString &executableDir, bool executableDirWritable, const QString &userConfigDir,
                         const QString &title = QStringLiteral("VarnelSerie"));
/// The same for this process (the application's folder and AppConfigLocation).
QString settingsFilePath(const QString &title = QStringLiteral("VarnelSerie"));

/// Reads and writes settings files; one per run, so that it remembers what a read
/// could not apply. The checksum component is the main window's: its invalid mark
/// is shared by the settings and customization files.
class SettingsFile {
public:
    explicit SettingsFile(TCheckSum_NordvikDeveloppement &checksum) : m_checksum(checksum) {}

    /// Reads `path`. A missing file selects RS-232 on the first serial port, if
    /// any. Otherwise the checksum is checked (a mismatch raises the component's
    /// warning) and, when the version is "V0004", the link is applied (Port only
    /// when a serial port exists; CON_RS232 only then too) and the names, presets
    /// and colour replace those of `settings`. A file not read leaves `settings`
    /// with the default names.
    SettingsReadResult read(const QString &path, AppSettings &settings, LinkAccess &link,
                            const QStringList &serialPorts);

    /// The 155 lines of a file (Windows-1252 bytes), sealed. `driverLink` is the
    /// driver's link now; when the operator has not changed it since the last read
    /// and that read could not apply its serial set-up, the file's values are kept.
    std::vector<std::string> lines(const AppSettings &settings, const LinkParameters &driverLink) const;

    /// True when a write must first ask kSaveInvalidQuestion.
    bool needsConfirmation() const { return m_checksum.InvalideFile(); }

    /// Writes the file, replacing any old one as a whole (never a half-written
    /// file). Returns an empty text, or the error to report.
    QString write(const QString &path, const AppSettings &settings, const LinkParameters &driverLink);

private:
    TCheckSum_NordvikDeveloppement &m_checksum;
    // The serial set-up a read could not apply, and the link right after that read.
    std::optional<QString> m_keptPort;
    std::optional<tConnectionType> m_keptType;
    LinkParameters m_linkAfterRead;
};

/// The text a connection type is written as ("CON_RS232"). "CON_AMX" is written
/// as such, and left aside on reading like any other unknown value.
const char *conTypeName(tConnectionType type);

}  // namespace varnel::app
