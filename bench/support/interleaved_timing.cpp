// Turn-taking best-of-rounds timing shared by the benchmarks.
#include "bench/support/interleaved_timing.h"

#include <algorithm>

#include <time.h>

namespace KorvoBench {

double Seconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::vector<double> BestNanosecondsInTurns(const std::vector<std::function<void()>> &ops, double unitsPerCall,
                                           int rounds, double roundSeconds)
{
    // Calls per round for each operation, doubled until a round takes long enough.
    std::vector<int> calls(ops.size(), 1);
    for (size_t i = 0; i < ops.size(); ++i) {
        ops[i]();
        for (;;) {
            const double start = Seconds();
            for (int n = 0; n < calls[i]; ++n)
                ops[i]();
            if (Seconds() - start > roundSeconds)
                break;
            calls[i] *= 2;
        }
    }
    std::vector<double> best(ops.size(), 1e30);
    // Each round starts with the next operation, so that no library always
    // follows the same one (a cached copy leaves dirty lines for the next to write back).
    for (int round = 0; round < rounds; ++round)
        for (size_t turn = 0; turn < ops.size(); ++turn) {
            const size_t i = (turn + static_cast<size_t>(round)) % ops.size();
            const double start = Seconds();
            for (int n = 0; n < calls[i]; ++n)
                ops[i]();
            const double ns = (Seconds() - start) * 1e9 / (calls[i] * unitsPerCall);
            best[i] = std::min(best[i], ns);
        }
    return best;
}

}  // namespace KorvoBench
