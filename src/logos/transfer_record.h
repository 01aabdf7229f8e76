#pragma once
// The picture transfer's wire pieces: Intel HEX framed records, the scan that
// finds the next reply or record in the received text, component records with
// their optional run-length coding, and pixel groups read from or placed into a
// 24-bit raster. Plain C++, no threads and no Qt.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::logos {

/// Record types of the transfer protocol.
enum RecordType : std::uint8_t {
    kTypeData = 0x00,    ///< one colour component of a pixel group
    kTypeEnd = 0x01,     ///< end of picture
    kTypeControl = 0x02, ///< header, size, frames, begin, request
    kTypeRepeat = 0x03,  ///< previous group repeated `parameter` more times
    kTypeAbort = 0x04,   ///< abort
};

/// Parameters of the control records.
enum ControlParameter : std::uint16_t {
    kCtlHeader = 0x0001,
    kCtlSize = 0x0002,
    kCtlBegin = 0x0003,
    kCtlRequest = 0x0004,
    kCtlFrames = 0x0005,
};

/// Component codes of data records.
enum ComponentCode : std::uint16_t {
    kRed = 0x01,
    kGreen = 0x02,
    kBlue = 0x03,
    kComponentMask = 0x0F,
    kRunLengthCoded = 0x10,
    kGroupClose = 0x20,
};

/// Kind codes of the header record.
enum KindCode : std::uint8_t {
    kKindFrame = 0x01,
    kKindStillLogo = 0x02,
    kKindAnimatedLogo = 0x03,
    kKindKeyed = 0x10,
};

inline constexpr int kMaxGroup = 32;            ///< pixels per group
inline constexpr std::uint16_t kMaxRepeat = 65535;
inline constexpr std::string_view kAck = ".1\r";
inline constexpr std::string_view kNak = ".0\r";
inline constexpr std::string_view kLineEnd = "\r\n";

enum class MessageKind : std::uint8_t { None, Record, Ack, Nak };

/// The last message found in the received text.
struct TransferMessage {
    MessageKind kind = MessageKind::None;
    std::uint8_t type = 0;
    std::uint16_t parameter = 0;
    std::uint8_t length = 0;
    std::array<std::uint8_t, 255> data{};

    std::span<const std::uint8_t> bytes() const { return {data.data(), length}; }
    bool isRecord(std::uint8_t t, std::uint16_t p) const
    {
        return kind == MessageKind::Record && type == t && parameter == p;
    }
};

/// ":" LL PPPP TT DD.. CC in upper-case digits, without a line end.
/// At most 255 data bytes are framed (the length is one byte).
std::string BuildRecord(std::uint8_t type, std::uint16_t parameter, std::span<const std::uint8_t> data = {});

/// Checks and parses one record text (":" and hex digits, no line end). False
/// (and `out` untouched) when it is too short, its digits run out or its
/// checksum is wrong.
bool ParseRecord(std::string_view text, TransferMessage &out);

/// One scan of the received text. A reply ".1\r"/".0\r" anywhere wins and is
/// removed from the text; otherwise the first complete record is parsed and the
/// whole text cleared. Returns the kind found (None when nothing, or when the
/// record found failed its checks).
MessageKind ScanMessage(std::string &received, TransferMessage &out);

/// The data of one component record: run-length (count, value) pairs when that
/// is shorter than the plain bytes, the plain bytes otherwise. `coded` says which.
std::vector<std::uint8_t> CodeComponent(std::span<const std::uint8_t> plain, bool &coded);

/// Expands (count, value) pairs, at most `limit` bytes.
std::vector<std::uint8_t> DecodeRunLength(std::span<const std::uint8_t> coded, std::size_t limit);

/// Frame height of a stacked picture: height / frames rounded, halves to even,
/// never below 1.
int FrameHeightOf(int height, int frameCount);

/// Direct access to a 24-bit raster of blue, green, red bytes.
struct PixelView {
    std::uint8_t *bits = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    std::uint8_t *pixel(int col, int row) const { return bits + row * stride + col * 3; }
};

/// One group of up to 32 colours (0xRRGGBB).
struct PixelGroup {
    std::array<std::uint32_t, kMaxGroup> colours{};
    int size = 0;
    bool operator==(const PixelGroup &o) const
    {
        if (size != o.size)
            return false;
        for (int i = 0; i < size; ++i)
            if (colours[i] != o.colours[i])
                return false;
        return true;
    }
};

/// Raster position of a transfer.
struct PixelCursor {
    int col = 0;
    int row = 0;
};

/// Reads the next group from `cursor`: up to 32 pixels in raster order, stopping
/// at the end of the picture and after the last row of a frame. Returns the group
/// (size 0 at the end or when the view is unusable).
PixelGroup ReadGroup(const PixelView &view, int frameHeight, PixelCursor &cursor);

/// The bytes of one component (1 red, 2 green, 3 blue) of a group.
std::vector<std::uint8_t> ComponentBytes(const PixelGroup &group, int component);

/// Writes `count` pixels from the three buffers at `cursor` in raster order;
/// stops at the end of the picture. Returns the number written.
int PlaceGroup(const PixelView &view, PixelCursor &cursor, std::span<const std::uint8_t> red,
               std::span<const std::uint8_t> green, std::span<const std::uint8_t> blue, int count);

}  // namespace varnel::logos
