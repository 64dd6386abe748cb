#pragma once
// The figures of `kqfx analyze` as text for people and as JSON.

#include <string>
#include <vector>

#include "analyze/AnalysisCurve.h"

namespace kqfx::command::analyze {

// One JSON object: the settings as the plug-in shows them and the figures of
// each measurement made.
std::string curveJson(const AnalysisCurve& curve, const std::vector<std::string>& settings);

// A few indented lines per measurement made, headed by the curve's label.
std::string curveText(const AnalysisCurve& curve);

}  // namespace kqfx::command::analyze
