#pragma once
// Turns a loaded picture into the work picture the transfer sends: a still
// keyed by luminance (with a preview that shows the keyed pixels in the luma
// key colour), or a GIF's frames stacked top to bottom with black reserved for
// its transparent pixels; and checks the result against the memory it is for.

#include "picture_loader.h"
#include "work_picture.h"

#include <QColor>
#include <QImage>

#include <functional>
#include <optional>
#include <string>

namespace varnel::logos {

enum class MemoryKind { StillLogo, Frame, AnimatedLogo };

inline constexpr const char *kTextExceedLogo = "Picture exceed logo size";
inline constexpr const char *kTextExceedFrame = "Picture exceed frame size";
inline constexpr const char *kTextExceedAnimated = "Picture exceed animated logo size";
inline constexpr const char *kTextExceedFrames = "Animated logo exceed maximum frames number";

/// round(0.299 R + 0.587 G + 0.114 B), halves to even.
int Luminance(int r, int g, int b);

class TPicturePreparation {
public:
    struct AnimationResult {
        int frameCount = 0;
        int delayMs = 0;  ///< first frame's delay × 10, at most 65535
        bool keyed = false;
    };

    explicit TPicturePreparation(WorkPicture &work) : m_work(work) {}

    // Luma key settings.
    int LLEVEL = 0;     ///< 0..255; 0 keys nothing
    int LLUMTYPE = 0;   ///< 0 black, 1 white
    QColor LumaKeyColor = QColor(0, 0, 0);

    /// Shown to the operator (an error box in the window, stderr in the tool).
    std::function<void(const std::string &)> onMessage;

    /// Builds the work picture and the preview; false ("Invalid picture") when
    /// the source is unusable.
    bool PrepareStill(const QImage &source);
    /// Builds the stacked work picture; nothing when the animation is unusable
    /// (`error` says why). Shows the capacity messages.
    std::optional<AnimationResult> PrepareAnimation(const Animation &gif, std::string *error = nullptr);
    /// True when the work picture is not empty and fits `kind`; shows the message otherwise.
    bool CheckCapacity(MemoryKind kind);
    /// The capacity message for `kind`, empty when it fits (no message shown).
    std::string CapacityProblem(MemoryKind kind) const;

    const QImage &Preview() const { return m_preview; }
    int FrameCount() const { return m_frameCount; }

private:
    void message(const std::string &text)
    {
        if (onMessage)
            onMessage(text);
    }

    WorkPicture &m_work;
    QImage m_preview;
    int m_frameCount = 1;
};

}  // namespace varnel::logos
