#pragma once
// What `kqfx analyze` measured at one combination of parameter values: one
// curve in each of its figures.

#include <optional>
#include <string>
#include <vector>

#include "analyze/Measurements.h"

namespace kqfx::command::analyze {

struct AnalysisCurve {
  PluginSetup setup;
  std::string label;  // the stepped settings, for the legend
  std::optional<ResponseResult> response;
  std::optional<DecayResult> decay;
  std::vector<double> impulse;
  std::optional<HarmonicsResult> harmonics;
  std::optional<TransferCurve> transfer;
  std::optional<Spectrogram> sweep;
};

}  // namespace kqfx::command::analyze
