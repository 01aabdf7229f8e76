#pragma once
// Feeds one fuzz input to the driver's receive path and to a literal reference
// model of it, and aborts on any difference: the text is cut into arrivals at
// places chosen by the input's first bytes, RecBuffer must never hold more than
// its bound, and the lines handled, the notifications and the stored plain values
// must be the same as the reference's.
#include <cstddef>
#include <cstdint>

namespace varnel::fuzz {
void checkReceivePath(const std::uint8_t *data, std::size_t size);
}
