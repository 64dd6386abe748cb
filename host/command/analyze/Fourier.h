#pragma once
// Discrete Fourier transforms of real signals through FFTW, in double
// precision. Plans are made per call (FFTW_ESTIMATE): the analyser runs a
// handful of transforms, so planning time would never pay off.

#include <complex>
#include <cstddef>
#include <vector>

namespace kqfx::command::analyze {

using Spectrum = std::vector<std::complex<double>>;

// The n / 2 + 1 bins of `signal` zero-padded (or cut) to n samples.
Spectrum forwardTransform(const std::vector<double>& signal, std::size_t n);

// The n real samples whose transform is `spectrum` (n / 2 + 1 bins),
// scaled so that inverseTransform(forwardTransform(x, n), n) == x.
std::vector<double> inverseTransform(const Spectrum& spectrum, std::size_t n);

// A transform length of at least `least` with only small prime factors,
// which FFTW handles fastest.
std::size_t goodTransformLength(std::size_t least);

}  // namespace kqfx::command::analyze
