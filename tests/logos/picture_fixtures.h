#pragma once
// Small pictures made in the test itself: GIF files written with giflib's
// encoder (frames with offsets, local or global colour tables, optional graphic
// control extension), JPEG files written with libjpeg, BMP files with QImage.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdio>
#include <optional>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

namespace varnel::logos::test {

struct GifFrameSpec {
    int left = 0, top = 0, width = 1, height = 1;
    std::vector<std::uint8_t> indices;  // width × height
    std::vector<QRgb> localColours;     // empty: use the global table
    struct Control {
        int disposal = 0, delay = 0, transparent = -1;
    };
    std::optional<Control> control;     // no graphic control extension when empty
    bool interlace = false;
};

inline int gifWrite(GifFileType *gif, const GifByteType *data, int len)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), len);
    return len;
}

inline ColorMapObject *makeMap(const std::vector<QRgb> &colours)
{
    int size = 2;
    while (size < int(colours.size()))
        size *= 2;
    std::vector<GifColorType> c(std::size_t(size), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colours.size(); ++i)
        c[i] = GifColorType{GifByteType(qRed(colours[i])), GifByteType(qGreen(colours[i])), GifByteType(qBlue(colours[i]))};
    return GifMakeMapObject(size, c.data());
}

inline QByteArray makeGif(int screenW, int screenH, const std::vector<QRgb> &global, int background,
                          const std::vector<GifFrameSpec> &frames)
{
    QByteArray out;
    int err = 0;
    GifFileType *gif = EGifOpen(&out, gifWrite, &err);
    EGifSetGifVersion(gif, true);
    ColorMapObject *gmap = global.empty() ? nullptr : makeMap(global);
    EGifPutScreenDesc(gif, screenW, screenH, 8, background, gmap);
    for (const auto &f : frames) {
        if (f.control) {
            GraphicsControlBlock gcb{f.control->disposal, false, f.control->delay, f.control->transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        ColorMapObject *lmap = f.localColours.empty() ? nullptr : makeMap(f.localColours);
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, lmap);
        std::vector<GifPixelType> rows(f.indices.begin(), f.indices.end());
        // Interlaced frames are written in pass order.
        std::vector<int> order;
        if (f.interlace) {
            static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int y = start[p]; y < f.height; y += step[p])
                    order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y)
                order.push_back(y);
        }
        for (int y : order)
            EGifPutLine(gif, rows.data() + std::size_t(y) * std::size_t(f.width), f.width);
        if (lmap)
            GifFreeMapObject(lmap);
    }
    EGifCloseFile(gif, &err);
    if (gmap)
        GifFreeMapObject(gmap);
    return out;
}

inline QByteArray makeJpeg(const QImage &source, int quality = 95)
{
    const QImage img = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = JDIMENSION(img.width());
    cinfo.image_height = JDIMENSION(img.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(img.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(mem), qsizetype(size));
    std::free(mem);
    return out;
}

inline QByteArray makeBmp(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return out;
}

}  // namespace varnel::logos::test
