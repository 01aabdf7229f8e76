#include "picture_loader.h"

#include "thread_frame.h"  // kLargestMemoryBytes

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>

namespace varnel::logos {

namespace {

constexpr const char *kTextTooLargeStill = "Picture exceed frame size";

// A still larger than the largest memory is refused before it is decoded.
bool stillSizeAcceptable(std::int64_t w, std::int64_t h, std::string &error)
{
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
        error = kTextInvalidPicture;
        return false;
    }
    if (w * h * 3 >= kLargestMemoryBytes) {
        error = kTextTooLargeStill;
        return false;
    }
    return true;
}

// --- JPEG -------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Only plain data lives across the setjmp; the rows go straight into `out`.
bool decodeJpegInto(const unsigned char *data, unsigned long size, QImage *out, int *status)
{
    jpeg_decompress_struct cinfo;
    JpegError err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegSilence;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const std::int64_t w = cinfo.image_width, h = cinfo.image_height;
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (w * h * 3 >= kLargestMemoryBytes) {
        *status = 2;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 || cinfo.output_width != JDIMENSION(w) || cinfo.output_height != JDIMENSION(h)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(int(w), int(h), QImage::Format_RGB888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            break;
    }
    // A truncated file decodes the missing rows as grey with a warning; refuse it.
    const bool truncated = cinfo.output_scanline < cinfo.output_height || err.mgr.num_warnings > 0;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return !truncated;
}

// --- GIF --------------------------------------------------------------------

struct GifSource {
    const QByteArray *bytes;
    qsizetype pos = 0;
};

int gifRead(GifFileType *gif, GifByteType *buf, int len)
{
    auto *src = static_cast<GifSource *>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(len, src->bytes->size() - src->pos);
    if (n <= 0)
        return 0;
    std::memcpy(buf, src->bytes->constData() + src->pos, std::size_t(n));
    src->pos += n;
    return int(n);
}

std::vector<QRgb> paletteOf(const ColorMapObject *map)
{
    std::vector<QRgb> out;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return out;
    out.reserve(std::size_t(map->ColorCount));
    for (int i = 0; i < map->ColorCount; ++i)
        out.push_back(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return out;
}

bool readGif(GifFileType *gif, Animation &out, std::string &error)
{
    out.screenWidth = gif->SWidth;
    out.screenHeight = gif->SHeight;
    const std::vector<QRgb> global = paletteOf(gif->SColorMap);
    if (gif->SBackGroundColor >= 0 && std::size_t(gif->SBackGroundColor) < global.size())
        out.background = global[std::size_t(gif->SBackGroundColor)];

    GraphicsControlBlock pending{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::int64_t pixels = 0;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4)
                DGifExtensionToGCB(ext[0], ext + 1, &pending);
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR)
                    return false;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return false;
        if (int(out.frames.size()) >= kMaxGifFrames)
            return false;
        if (DGifGetImageDesc(gif) == GIF_ERROR)
            return false;
        GifFrame f;
        const GifImageDesc &d = gif->Image;
        f.left = d.Left;
        f.top = d.Top;
        f.width = d.Width;
        f.height = d.Height;
        if (f.width < 0 || f.height < 0 || f.width > kMaxSide || f.height > kMaxSide || f.left + f.width > kMaxSide ||
            f.top + f.height > kMaxSide)
            return false;
        const std::int64_t area = std::int64_t(f.width) * f.height;
        pixels += area;
        if (area * 3 >= kLargestMemoryBytes || pixels > kMaxGifPixels) {
            error = "Picture exceed animated logo size";
            return false;
        }
        f.palette = d.ColorMap ? paletteOf(d.ColorMap) : global;
        f.disposal = pending.DisposalMode;
        f.delay = pending.DelayTime;
        if (pending.TransparentColor >= 0 && std::size_t(pending.TransparentColor) < f.palette.size())
            f.transparentIndex = pending.TransparentColor;
        pending = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        if (area > 0) {
            f.indices.resize(std::size_t(area));
            // Interlaced frames arrive in four passes.
            std::vector<int> order;
            order.reserve(std::size_t(f.height));
            if (d.Interlace) {
                static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                for (int p = 0; p < 4; ++p)
                    for (int y = start[p]; y < f.height; y += step[p])
                        order.push_back(y);
            } else {
                for (int y = 0; y < f.height; ++y)
                    order.push_back(y);
            }
            for (int y : order)
                if (DGifGetLine(gif, f.indices.data() + std::size_t(y) * std::size_t(f.width), f.width) == GIF_ERROR)
                    return false;
        } else {
            // A frame without pixels still carries its (empty) data blocks.
            GifByteType *code = nullptr;
            int codeSize = 0;
            if (DGifGetCode(gif, &codeSize, &code) == GIF_ERROR)
                return false;
            while (code)
                if (DGifGetCodeNext(gif, &code) == GIF_ERROR)
                    return false;
        }
        out.frames.push_back(std::move(f));
    }
    return !out.frames.empty();
}

// Qt's reader accepts a bitmap whose pixel rows stop short; an uncompressed one
// must hold all of them.
bool bmpRowsComplete(const QByteArray &bytes)
{
    auto u16 = [&](int at) { return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8; };
    auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const std::int64_t offset = u32(10);
    const std::uint32_t header = u32(14);
    std::int64_t width = 0, height = 0;
    std::uint32_t bpp = 0, compression = 0;
    if (header == 12) {
        width = std::int16_t(u16(18));
        height = std::int16_t(u16(20));
        bpp = u16(24);
    } else if (header >= 40 && bytes.size() >= 34) {
        width = std::int32_t(u32(18));
        height = std::int32_t(u32(22));
        bpp = u16(28);
        compression = u32(30);
    } else {
        return false;
    }
    if (compression != 0 && compression != 3 && compression != 6)
        return true;  // run-length coded: the reader checks it
    const std::int64_t stride = ((std::abs(width) * bpp + 31) / 32) * 4;
    return bytes.size() >= offset + stride * std::abs(height);
}

std::string lowerSuffix(const QString &fileName)
{
    return QFileInfo(fileName).suffix().toLower().toStdString();
}

}  // namespace

bool DecodeJpeg(const QByteArray &bytes, QImage &out, std::string &error)
{
    int status = 0;
    QImage img;
    if (bytes.isEmpty() ||
        !decodeJpegInto(reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()), &img, &status)) {
        error = status == 2 ? kTextTooLargeStill : kTextInvalidPicture;
        return false;
    }
    out = std::move(img);
    return true;
}

bool DecodeBmp(const QByteArray &bytes, QImage &out, std::string &error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    reader.setAutoDetectImageFormat(false);  // a JPEG named .bmp is not a bitmap
    const QSize size = reader.size();
    if (!size.isValid()) {
        error = kTextInvalidPicture;
        return false;
    }
    if (!stillSizeAcceptable(size.width(), size.height(), error))
        return false;
    if (!bmpRowsComplete(bytes)) {
        error = kTextInvalidPicture;
        return false;
    }
    QImage img;
    if (!reader.read(&img) || img.isNull() || img.size() != size) {
        error = kTextInvalidPicture;
        return false;
    }
    out = std::move(img);
    return true;
}

bool DecodeGif(const QByteArray &bytes, Animation &out, std::string &error)
{
    GifSource src{&bytes};
    int err = 0;
    GifFileType *gif = DGifOpen(&src, gifRead, &err);
    if (!gif) {
        error = kTextInvalidPicture;
        return false;
    }
    Animation anim;
    std::string why;
    const bool ok = readGif(gif, anim, why);
    DGifCloseFile(gif, &err);
    if (!ok) {
        error = why.empty() ? kTextInvalidPicture : why;
        return false;
    }
    out = std::move(anim);
    return true;
}

LoadedPicture LoadPictureBytes(const QByteArray &bytes, const QString &fileName)
{
    LoadedPicture p;
    const std::string ext = lowerSuffix(fileName);
    if (ext == "gif") {
        p.kind = SourceKind::Animation;
        p.ok = DecodeGif(bytes, p.animation, p.error);
    } else if (ext == "jpg" || ext == "jpeg") {
        p.ok = DecodeJpeg(bytes, p.still, p.error);
    } else {
        p.ok = DecodeBmp(bytes, p.still, p.error);
    }
    return p;
}

LoadedPicture LoadPictureFile(const QString &path)
{
    QFile file(path);
    // Larger than any picture the memories hold, by far: not read at all.
    constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
        LoadedPicture p;
        p.error = kTextInvalidPicture;
        return p;
    }
    return LoadPictureBytes(file.readAll(), path);
}

bool SaveBmp(const QImage &image, const QString &path)
{
    QImageWriter writer(path, "bmp");
    return writer.write(image.convertToFormat(QImage::Format_RGB888));
}

}  // namespace varnel::logos
