#include "analyze/Transfer.h"

#include <algorithm>
#include <cmath>

namespace kqfx::command::analyze {

TransferCurve transferCurve(const std::vector<float>& input, const std::vector<double>& output,
                            std::size_t points) {
  TransferCurve curve;
  const std::size_t count = std::min(input.size(), output.size());
  if (count == 0 || points < 2) return curve;
  const auto [low, high] = std::minmax_element(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(count));
  const double lo = *low, step = (static_cast<double>(*high) - lo) / static_cast<double>(points - 1);
  if (!(step > 0.0)) return curve;
  // Only samples within a tenth of a step of a grid value count, so that
  // each point is the curve at that input and not a blur of a whole step.
  const double reach = step * 0.1;
  std::vector<double> sumIn(points, 0.0), sumOut(points, 0.0);
  std::vector<std::size_t> hits(points, 0);
  for (std::size_t i = 0; i < count; ++i) {
    const double position = (input[i] - lo) / step;
    const auto nearest = static_cast<std::size_t>(std::llround(position));
    if (nearest >= points || std::abs(position - static_cast<double>(nearest)) * step > reach) continue;
    sumIn[nearest] += input[i];
    sumOut[nearest] += output[i];
    ++hits[nearest];
  }
  for (std::size_t p = 0; p < points; ++p) {
    if (hits[p] == 0) continue;
    curve.input.push_back(sumIn[p] / static_cast<double>(hits[p]));
    curve.output.push_back(sumOut[p] / static_cast<double>(hits[p]));
  }
  return curve;
}

}  // namespace kqfx::command::analyze
