#pragma once
// Reading picture files for the logo and frame memories: BMP (Qt's reader),
// JPEG (libjpeg) and GIF with all its frames (giflib). The file's extension,
// without regard to letter case, chooses the decoder; sizes are checked before
// anything is allocated, and a file that does not decode gives "Invalid picture".

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::logos {

inline constexpr const char *kTextInvalidPicture = "Invalid picture";
inline constexpr int kMaxSide = 65535;          ///< sizes travel as 16-bit numbers
inline constexpr int kMaxGifFrames = 4096;       ///< frames read from one file
inline constexpr std::int64_t kMaxGifPixels = 64LL * 1024 * 1024;  ///< decoded pixels of all frames

/// One frame of a GIF as decoded: colour indices, its own or the global colour
/// table, and the graphic control extension (defaults when the frame has none).
struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;  ///< width × height, rows top to bottom
    std::vector<QRgb> palette;          ///< the frame's table, else the global one
    int disposal = 0;
    int delay = 0;                      ///< hundredths of a second
    int transparentIndex = -1;          ///< -1: none (also when beyond the table)
    bool empty() const { return width <= 0 || height <= 0 || indices.empty(); }
};

struct Animation {
    int screenWidth = 0, screenHeight = 0;
    QRgb background = qRgb(0, 0, 0);  ///< the GIF's background colour
    std::vector<GifFrame> frames;
};

enum class SourceKind { Still, Animation };

struct LoadedPicture {
    bool ok = false;
    std::string error;  ///< "Invalid picture" or a capacity message
    SourceKind kind = SourceKind::Still;
    QImage still;       ///< any format Qt holds
    Animation animation;
};

/// Chooses the decoder by extension (".gif"; ".jpg", ".jpeg"; anything else BMP).
LoadedPicture LoadPictureFile(const QString &path);
/// The same for bytes already read, with the file name giving the extension.
LoadedPicture LoadPictureBytes(const QByteArray &bytes, const QString &fileName);

bool DecodeBmp(const QByteArray &bytes, QImage &out, std::string &error);
bool DecodeJpeg(const QByteArray &bytes, QImage &out, std::string &error);
bool DecodeGif(const QByteArray &bytes, Animation &out, std::string &error);

/// Writes a 24-bit BMP file.
bool SaveBmp(const QImage &image, const QString &path);

}  // namespace varnel::logos
