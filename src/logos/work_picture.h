#pragma once
// The 24-bit picture being transferred (frames of an animation stacked top to
// bottom), shared between the loader, the preparation and the transfer workers.
// Every access to its pixels holds `mutex`.

#include "transfer_record.h"

#include <QImage>

#include <mutex>

namespace varnel::logos {

inline constexpr QImage::Format kWorkFormat = QImage::Format_BGR888;  // blue, green, red bytes

struct WorkPicture {
    std::mutex mutex;
    QImage image;

    /// Row access to the image (call with the mutex held). The view writes
    /// through to the image; `image` must not be shared while it is written.
    PixelView view()
    {
        if (image.isNull() || image.format() != kWorkFormat)
            return {};
        return {image.bits(), image.bytesPerLine(), image.width(), image.height()};
    }
    PixelView readView() const
    {
        if (image.isNull() || image.format() != kWorkFormat)
            return {};
        return {const_cast<std::uint8_t *>(image.constBits()), image.bytesPerLine(), image.width(), image.height()};
    }
};

}  // namespace varnel::logos
