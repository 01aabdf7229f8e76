// libFuzzer entry point (configure with clang and -DVARNEL_FUZZ=ON).
#include "receive_path_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    varnel::fuzz::checkReceivePath(data, size);
    return 0;
}
