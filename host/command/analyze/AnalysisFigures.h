#pragma once
// The images of `kqfx analyze`: one figure per measurement, with a curve
// (or a spectrogram panel) per combination of parameter values.

#include <string>
#include <vector>

#include "analyze/AnalysisCurve.h"
#include "analyze/Plot.h"

namespace kqfx::command::analyze {

// `kind` is one of analysisKinds(); the title and subtitle are left to the caller.
Figure figureOf(const std::string& kind, const std::vector<AnalysisCurve>& curves, int sampleRate);

// "frequency response", ...: what the figure of `kind` shows.
const char* kindTitle(const std::string& kind);

}  // namespace kqfx::command::analyze
