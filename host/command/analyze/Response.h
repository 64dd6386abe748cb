#pragma once
// The frequency response of a plug-in from an exponential sine sweep: the
// sweep runs through the plug-in, and a regularised inverse filter of the
// sweep turns the recording back into the impulse response. Harmonic
// distortion lands before time zero (at the end of the circular result)
// and is left out, which is why the method suits plug-ins that are not
// strictly linear.

#include <cstddef>
#include <optional>
#include <vector>

namespace kqfx::command::analyze {

struct Sweep {
  double startHz = 2.0;  // below the plotted 20 Hz so the lowest octaves are measured too
  double seconds = 8.0;
  double amplitude = 0.5;  // -6 dBFS
};

// The sweep from startHz to the Nyquist frequency with short fades at both ends.
std::vector<float> exponentialSweep(const Sweep& sweep, int sampleRate);

// The first `length` samples of the impulse response behind `recorded`,
// the plug-in's output for `excitation`.
std::vector<double> deconvolve(const std::vector<float>& excitation,
                               const std::vector<double>& recorded, std::size_t length);

struct FrequencyResponse {
  std::vector<double> frequencyHz;  // log-spaced, 20 Hz to the Nyquist frequency
  std::vector<double> magnitudeDb;
  std::vector<double> phaseDegrees;  // wrapped to -180..180
};

// The response of `impulse` evaluated at each frequency exactly (no bins).
FrequencyResponse frequencyResponse(const std::vector<double>& impulse, int sampleRate,
                                    int pointsPerOctave = 48);
double magnitudeDbAt(const std::vector<double>& impulse, int sampleRate, double hz);

struct ResponseFigures {
  double gainAt1kHzDb = 0.0;
  double passbandDb = 0.0;  // the level the -3 dB points are taken from
  std::optional<double> lowerCutoffHz, upperCutoffHz;
  // Change in dB per octave going away from the passband, an octave past
  // the cutoff (negative when the response falls).
  std::optional<double> lowerSlopeDbPerOctave, upperSlopeDbPerOctave;
  double peakDb = 0.0;
  double peakHz = 0.0;
};

// The passband is the higher of the lowest and highest octave of the
// curve; when the peak stands more than 20 dB above both (a band-pass),
// the peak is.
ResponseFigures responseFigures(const FrequencyResponse& response,
                                const std::vector<double>& impulse, int sampleRate);

}  // namespace kqfx::command::analyze
