#include "analyze/Measurements.h"

#include <cmath>

namespace kqfx::command::analyze {
namespace {

std::size_t frames(double seconds, int sampleRate) {
  return static_cast<std::size_t>(std::llround(seconds * sampleRate));
}

}  // namespace

std::vector<double> measureImpulse(const PluginSetup& setup, double seconds) {
  const Sweep sweep;
  const std::vector<float> excitation = exponentialSweep(sweep, setup.sampleRate);
  const auto tail = static_cast<int64_t>(frames(seconds, setup.sampleRate));
  const std::vector<double> recorded = runThrough(setup, excitation, tail, "sine sweep");
  return deconvolve(excitation, recorded, static_cast<std::size_t>(tail));
}

ResponseResult readResponse(const std::vector<double>& impulse, int sampleRate) {
  ResponseResult result;
  result.curve = frequencyResponse(impulse, sampleRate);
  result.figures = responseFigures(result.curve, impulse, sampleRate);
  return result;
}

DecayResult readDecay(const std::vector<double>& impulse, int sampleRate) {
  DecayResult result;
  result.curveDb = energyDecayCurve(impulse);
  result.times = decayTimes(result.curveDb, sampleRate);
  for (const double centre : octaveCentres(sampleRate)) {
    BandDecay band;
    band.centreHz = centre;
    band.curveDb = energyDecayCurve(octaveBand(impulse, sampleRate, centre));
    band.times = decayTimes(band.curveDb, sampleRate);
    result.bands.push_back(std::move(band));
  }
  result.arrivals = findArrivals(impulse, sampleRate);
  return result;
}

HarmonicsResult measureHarmonics(const PluginSetup& setup) {
  HarmonicsResult result;
  // A quarter second for the plug-in to settle into the tone, then the
  // stretch that is measured.
  const std::size_t lead = frames(0.25, setup.sampleRate);
  const std::size_t measured = frames(0.5, setup.sampleRate);
  for (int level = -40; level <= 6; level += 2) {
    const std::vector<float> tone = sineTone(kToneHz, level, setup.sampleRate, lead + measured);
    const std::vector<double> output =
        runThrough(setup, tone, 0, "sine at " + std::to_string(level) + " dBFS");
    const std::vector<double> stretch(output.begin() + static_cast<std::ptrdiff_t>(lead),
                                      output.begin() + static_cast<std::ptrdiff_t>(lead + measured));
    result.levels.push_back({static_cast<double>(level),
                             measureDistortion(stretch, setup.sampleRate, kToneHz)});
    if (level == static_cast<int>(result.spectrumLevelDbfs)) {
      result.spectrum = levelSpectrum(stretch, setup.sampleRate);
    }
  }
  return result;
}

TransferCurve measureTransfer(const PluginSetup& setup) {
  // Three seconds: filters inside the plug-in (a DC blocker) settle over
  // the first two; the last is read.
  const std::size_t total = frames(3.0, setup.sampleRate);
  const std::size_t read = frames(1.0, setup.sampleRate);
  const std::vector<float> sine =
      sineTone(kTransferHz, 20.0 * std::log10(kTransferPeak), setup.sampleRate, total);
  const std::vector<double> output = runThrough(setup, sine, 0, "slow sine");
  const auto from = static_cast<std::ptrdiff_t>(total - read);
  return transferCurve(std::vector<float>(sine.begin() + from, sine.end()),
                       std::vector<double>(output.begin() + from, output.end()));
}

Spectrogram measureSweep(const PluginSetup& setup) {
  const std::vector<float> noise = whiteNoise(frames(kNoiseSeconds, setup.sampleRate), 0.25, 1);
  return spectrogram(runThrough(setup, noise, 0, "white noise"), setup.sampleRate);
}

}  // namespace kqfx::command::analyze
