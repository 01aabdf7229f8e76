#include "picture_preparation.h"

#include "thread_frame.h"

#include <algorithm>
#include <cstring>

namespace varnel::logos {

namespace {

// A source as opaque 24-bit pixels; transparent areas come out composited on black.
QImage opaqueCopy(const QImage &source)
{
    if (!source.hasAlphaChannel())
        return source.convertToFormat(kWorkFormat);
    const QImage pre = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(pre.size(), kWorkFormat);
    if (out.isNull())
        return out;
    for (int y = 0; y < pre.height(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(pre.constScanLine(y));
        std::uint8_t *dst = out.scanLine(y);
        for (int x = 0; x < pre.width(); ++x, dst += 3) {
            dst[0] = std::uint8_t(qBlue(src[x]));
            dst[1] = std::uint8_t(qGreen(src[x]));
            dst[2] = std::uint8_t(qRed(src[x]));
        }
    }
    return out;
}

inline void put(std::uint8_t *p, QRgb c)
{
    p[0] = std::uint8_t(qBlue(c));
    p[1] = std::uint8_t(qGreen(c));
    p[2] = std::uint8_t(qRed(c));
}

inline QRgb get(const std::uint8_t *p)
{
    return qRgb(p[2], p[1], p[0]);
}

}  // namespace

int Luminance(int r, int g, int b)
{
    const int sum = 299 * r + 587 * g + 114 * b;  // thousandths
    int q = sum / 1000;
    const int rest = sum % 1000;
    if (rest > 500 || (rest == 500 && (q % 2) == 1))
        ++q;
    return q;
}

bool TPicturePreparation::PrepareStill(const QImage &source)
{
    if (source.isNull() || source.width() > kMaxSide || source.height() > kMaxSide)
        return false;
    QImage work = opaqueCopy(source);
    if (work.isNull())
        return false;
    QImage preview = work.copy();
    const QRgb keyColour = qRgb(LumaKeyColor.red(), LumaKeyColor.green(), LumaKeyColor.blue());
    if (LLEVEL > 0) {
        for (int y = 0; y < work.height(); ++y) {
            std::uint8_t *w = work.scanLine(y);
            std::uint8_t *p = preview.scanLine(y);
            for (int x = 0; x < work.width(); ++x, w += 3, p += 3) {
                // Keyed from the preview's own copy, so both rasters key the same pixels.
                const int lum = Luminance(p[2], p[1], p[0]);
                const bool keyed = LLUMTYPE == 0 ? lum < LLEVEL : 255 - lum < LLEVEL;
                if (keyed) {
                    w[0] = w[1] = w[2] = 0;
                    put(p, keyColour);
                }
            }
        }
    }
    {
        std::lock_guard lock(m_work.mutex);
        m_work.image = std::move(work);
    }
    m_preview = std::move(preview);
    m_frameCount = 1;
    return true;
}

std::optional<TPicturePreparation::AnimationResult> TPicturePreparation::PrepareAnimation(const Animation &gif, std::string *error)
{
    auto fail = [&](const char *why) -> std::optional<AnimationResult> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    std::vector<const GifFrame *> frames;
    for (const GifFrame &f : gif.frames)
        if (!f.empty())
            frames.push_back(&f);
    const int n = int(frames.size());
    if (n == 0)
        return fail(kTextInvalidPicture);
    // Bands hold every frame at its offset.
    int W = 0, H = 0;
    for (const GifFrame *f : frames) {
        W = std::max(W, f->left + f->width);
        H = std::max(H, f->top + f->height);
    }
    if (W < 1 || H < 1 || W > kMaxSide || H > kMaxSide)
        return fail(kTextInvalidPicture);
    if (std::int64_t(W) * H * n * 3 >= kLargestMemoryBytes)
        return fail(kTextExceedAnimated);  // never allocated

    QImage work(W, H * n, kWorkFormat);
    if (work.isNull())
        return fail(kTextInvalidPicture);
    work.fill(Qt::black);  // areas no frame covers

    AnimationResult result;
    result.frameCount = n;
    result.delayMs = std::min(frames.front()->delay * 10, 65535);
    for (const GifFrame *f : frames)
        if (f->transparentIndex >= 0)
            result.keyed = true;

    const std::ptrdiff_t stride = work.bytesPerLine();
    for (int i = 0; i < n; ++i) {
        const GifFrame &f = *frames[std::size_t(i)];
        const int d = f.disposal;
        const int band = i * H;
        const bool hasT = f.transparentIndex >= 0;
        const QRgb T = hasT ? f.palette[std::size_t(f.transparentIndex)] : 0;
        auto colourOf = [&](std::uint8_t index) -> QRgb {
            return index < f.palette.size() ? f.palette[index] : qRgb(0, 0, 0);
        };
        // The portion of the frame inside its band (frames are clipped to it).
        const int cols = std::min(f.width, W - f.left);
        const int rows = std::min(f.height, H - f.top);

        if (i == 0 || (d != 0 && d != 1)) {
            for (int r = 0; r < rows; ++r) {
                std::uint8_t *q = work.scanLine(band + f.top + r) + std::ptrdiff_t(f.left) * 3;
                const std::uint8_t *src = f.indices.data() + std::size_t(r) * std::size_t(f.width);
                for (int c = 0; c < cols; ++c, q += 3)
                    put(q, d == 2 ? gif.background : colourOf(src[c]));
            }
        } else {
            std::memcpy(work.scanLine(band), work.scanLine(band - H), std::size_t(stride) * std::size_t(H));
        }
        for (int r = 0; r < rows; ++r) {
            std::uint8_t *q = work.scanLine(band + f.top + r) + std::ptrdiff_t(f.left) * 3;
            const std::uint8_t *src = f.indices.data() + std::size_t(r) * std::size_t(f.width);
            for (int c = 0; c < cols; ++c, q += 3) {
                const bool transparent = hasT && src[c] == f.transparentIndex;
                const QRgb P = colourOf(src[c]);
                if (transparent && P == T && d == 2) {
                    put(q, qRgb(0, 0, 0));
                } else if (!transparent) {
                    // Black is reserved for transparency.
                    put(q, (P & 0xFFFFFF) == 0 ? qRgb(1, 1, 1) : P);
                }
                if (transparent && result.keyed && (get(q) & 0xFFFFFF) == (T & 0xFFFFFF))
                    put(q, qRgb(0, 0, 0));
            }
        }
    }
    {
        std::lock_guard lock(m_work.mutex);
        m_work.image = std::move(work);
    }
    m_preview = QImage();
    m_frameCount = n;
    CheckCapacity(MemoryKind::AnimatedLogo);  // messages only
    return result;
}

std::string TPicturePreparation::CapacityProblem(MemoryKind kind) const
{
    std::int64_t w = 0, h = 0;
    {
        std::lock_guard lock(m_work.mutex);
        w = m_work.image.width();
        h = m_work.image.height();
    }
    if (w < 1 || h < 1)
        return {};
    if (kind == MemoryKind::AnimatedLogo) {
        const std::int64_t n = m_frameCount;
        const std::int64_t fh = FrameHeightOf(int(h), int(std::min<std::int64_t>(n, 65535)));
        const std::int64_t units = (w * fh + 383) / 384;
        const std::int64_t capacity = 7281 / units;
        if (capacity < n)
            return kTextExceedAnimated;
        if (n >= 256)
            return kTextExceedFrames;
        return {};
    }
    const std::int64_t blocks = w * h * 3 / 65536 + 1;
    if (kind == MemoryKind::StillLogo && blocks > 12)
        return kTextExceedLogo;
    if (kind == MemoryKind::Frame && blocks > 95)
        return kTextExceedFrame;
    return {};
}

bool TPicturePreparation::CheckCapacity(MemoryKind kind)
{
    {
        std::lock_guard lock(m_work.mutex);
        if (m_work.image.width() < 1 || m_work.image.height() < 1)
            return false;
    }
    const std::string problem = CapacityProblem(kind);
    if (!problem.empty()) {
        message(problem);
        return false;
    }
    return true;
}

}  // namespace varnel::logos
