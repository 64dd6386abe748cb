#pragma once
// Each measurement of `kqfx analyze`: the test signal it runs through the
// plug-in and what it reads from the output.

#include <optional>
#include <string>
#include <vector>

#include "analyze/Decay.h"
#include "analyze/Harmonics.h"
#include "analyze/PluginRun.h"
#include "analyze/Response.h"
#include "analyze/Spectrogram.h"
#include "analyze/Transfer.h"

namespace kqfx::command::analyze {

// The impulse response, `seconds` long, from the sine sweep.
std::vector<double> measureImpulse(const PluginSetup& setup, double seconds);

struct ResponseResult {
  FrequencyResponse curve;
  ResponseFigures figures;
};
ResponseResult readResponse(const std::vector<double>& impulse, int sampleRate);

struct BandDecay {
  double centreHz = 0.0;
  std::vector<double> curveDb;
  DecayTimes times;
};
struct DecayResult {
  std::vector<double> curveDb;  // overall
  DecayTimes times;
  std::vector<BandDecay> bands;
  Arrivals arrivals;
};
DecayResult readDecay(const std::vector<double>& impulse, int sampleRate);

struct LevelPoint {
  double inputDbfs = 0.0;
  Distortion distortion;
};
struct HarmonicsResult {
  std::vector<LevelPoint> levels;
  double spectrumLevelDbfs = -6.0;
  LevelSpectrum spectrum;  // at spectrumLevelDbfs
};
constexpr double kToneHz = 1000.0;
HarmonicsResult measureHarmonics(const PluginSetup& setup);

// Not a divisor of common sample rates, so the samples fall on ever new
// points of the curve.
constexpr double kTransferHz = 47.0;
constexpr double kTransferPeak = 2.0;  // +6 dBFS
TransferCurve measureTransfer(const PluginSetup& setup);

constexpr double kNoiseSeconds = 8.0;
Spectrogram measureSweep(const PluginSetup& setup);

}  // namespace kqfx::command::analyze
