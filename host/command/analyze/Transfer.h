#pragma once
// The static curve of a shaper or limiter: output sample against input
// sample while a slow sine sweeps the input through its whole range.

#include <vector>

namespace kqfx::command::analyze {

struct TransferCurve {
  std::vector<double> input;   // rising
  std::vector<double> output;
};

// For each of `points` evenly spaced input values across the range of
// `input`, the mean input and output of the samples within half a step of
// it (rising and falling halves of the sine alike, so a small lag
// cancels). Points no sample comes near are left out.
TransferCurve transferCurve(const std::vector<float>& input, const std::vector<double>& output,
                            std::size_t points = 401);

}  // namespace kqfx::command::analyze
