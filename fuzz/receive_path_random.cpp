// The receive-path check driven by a seeded generator for a fixed budget, so the
// test suite runs it everywhere (also without clang's libFuzzer). The inputs mix
// well-formed lines of random registers with random bytes, CR/LF runs and long
// runs without line ends.
#include "receive_path_check.h"

#include "register_table.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const long budget = argc > 1 ? std::atol(argv[1]) : 20000;
    std::mt19937 rng(20261211);
    const char *values[] = {"", "0", "1", "41", " 7", "-3", "$1F", "x", "0x10", "99999999999999999999", "4294967296", "12a"};
    for (long n = 0; n < budget; ++n) {
        std::string input;
        input += char(rng());
        input += char(rng());
        const int parts = int(rng() % 12);
        for (int p = 0; p < parts; ++p) {
            switch (rng() % 6) {
            case 0:
            case 1:
            case 2: {
                const auto &rec = varnel::VarTable[rng() % varnel::kRegisterCount];
                input += std::string(rec.RespCode) + values[rng() % std::size(values)] + "\r\n";
                break;
            }
            case 3:
                for (int i = int(rng() % 20); i > 0; --i)
                    input += char(rng());
                break;
            case 4:
                input += (rng() % 2) ? "\r" : "\n";
                break;
            default:
                input += std::string(rng() % 30, char('A' + rng() % 26));
            }
        }
        varnel::fuzz::checkReceivePath(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
    }
    std::printf("%ld inputs checked\n", budget);
    return 0;
}
