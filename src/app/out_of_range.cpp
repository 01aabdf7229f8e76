#include "out_of_range.h"

#include <cmath>

namespace varnel::app {

bool sourceOutOfRange(const SourceTiming &t)
{
    if (t.signalType != kSignalComputerDvi || t.inputFormat <= 1 || t.unit == 0)
        return false;
    // The product is formed in 32-bit arithmetic, the division is real.
    const std::uint32_t product = t.lineDuration * 16300u;
    const double pixels = std::round(double(product) / double(t.unit));
    return pixels < double(t.divider);
}

}  // namespace varnel::app
