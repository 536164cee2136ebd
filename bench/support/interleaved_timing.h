// Timing for the benchmarks on a shared machine: the libraries compared in one
// row are timed in turns, round after round, and each keeps its best round, so
// a burst of load from other work hits them alike.
#pragma once

#include <functional>
#include <vector>

namespace KorvoBench {

// Monotonic seconds. (<chrono> cannot be built with the cp932 execution charset.)
double Seconds();

// Best time per unit (nanoseconds) of each operation over rounds taken in turns
// (each round starting with the next operation); each round repeats an
// operation for about roundSeconds.
std::vector<double> BestNanosecondsInTurns(const std::vector<std::function<void()>> &ops, double unitsPerCall,
                                           int rounds = 9, double roundSeconds = 0.015);

}  // namespace KorvoBench
