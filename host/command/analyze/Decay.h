#pragma once
// How an impulse response dies away: the backward-integrated energy decay
// curve, reverberation times read from it, octave-band versions of both,
// and the distinct arrivals (direct sound and echoes) in it.

#include <cstdint>
#include <optional>
#include <vector>

namespace kqfx::command::analyze {

// 10 log10 of the energy still to come after each sample, relative to the
// whole; -inf where none is left.
std::vector<double> energyDecayCurve(const std::vector<double>& impulse);

struct DecayTimes {
  // Seconds to fall 60 dB, from straight lines fitted between -5 and
  // -25 dB (T20), -5 and -35 dB (T30), and 0 and -10 dB (early decay time).
  // Empty when the curve never gets that low.
  std::optional<double> t20, t30, earlyDecayTime;
};
DecayTimes decayTimes(const std::vector<double>& decayCurveDb, int sampleRate);

// The impulse response in the octave band around `centreHz` (edges a half
// octave either side, smooth over a sixth of an octave), filtered without
// phase shift.
std::vector<double> octaveBand(const std::vector<double>& impulse, int sampleRate, double centreHz);

// The octave centres from 125 Hz to 8 kHz whose band lies below the
// Nyquist frequency.
std::vector<double> octaveCentres(int sampleRate);

struct Arrival {
  int64_t sample = 0;
  double seconds = 0.0;
  double levelDb = 0.0;  // peak amplitude in dB (0 dB: a unit impulse)
};

// The direct sound (the first sample within 20 dB of the loudest one) and
// the echoes after it: peaks standing 20 dB above the response around them
// and no more than 80 dB below the loudest sample; at most `most` of them.
struct Arrivals {
  std::optional<Arrival> first;
  std::vector<Arrival> echoes;
};
Arrivals findArrivals(const std::vector<double>& impulse, int sampleRate, std::size_t most = 16);

}  // namespace kqfx::command::analyze
