#include "analyze/Fourier.h"

#include <fftw3.h>

#include <algorithm>
#include <memory>
#include <new>

namespace kqfx::command::analyze {
namespace {

struct FftwFree {
  void operator()(void* memory) const { fftw_free(memory); }
};
template <typename T>
using FftwBuffer = std::unique_ptr<T[], FftwFree>;

template <typename T>
FftwBuffer<T> allocate(std::size_t count) {
  auto* memory = static_cast<T*>(fftw_malloc(sizeof(T) * std::max<std::size_t>(count, 1)));
  if (!memory) throw std::bad_alloc();
  return FftwBuffer<T>(memory);
}

struct PlanDestroy {
  void operator()(fftw_plan plan) const { fftw_destroy_plan(plan); }
};
using Plan = std::unique_ptr<std::remove_pointer_t<fftw_plan>, PlanDestroy>;

}  // namespace

Spectrum forwardTransform(const std::vector<double>& signal, std::size_t n) {
  auto in = allocate<double>(n);
  auto out = allocate<fftw_complex>(n / 2 + 1);
  const std::size_t copied = std::min(n, signal.size());
  std::copy_n(signal.begin(), copied, in.get());
  std::fill(in.get() + copied, in.get() + n, 0.0);
  const Plan plan(fftw_plan_dft_r2c_1d(static_cast<int>(n), in.get(), out.get(), FFTW_ESTIMATE));
  fftw_execute(plan.get());
  Spectrum spectrum(n / 2 + 1);
  for (std::size_t k = 0; k < spectrum.size(); ++k) spectrum[k] = {out[k][0], out[k][1]};
  return spectrum;
}

std::vector<double> inverseTransform(const Spectrum& spectrum, std::size_t n) {
  auto in = allocate<fftw_complex>(n / 2 + 1);
  auto out = allocate<double>(n);
  for (std::size_t k = 0; k < n / 2 + 1; ++k) {
    const std::complex<double> bin = k < spectrum.size() ? spectrum[k] : 0.0;
    in[k][0] = bin.real();
    in[k][1] = bin.imag();
  }
  const Plan plan(fftw_plan_dft_c2r_1d(static_cast<int>(n), in.get(), out.get(), FFTW_ESTIMATE));
  fftw_execute(plan.get());
  std::vector<double> signal(out.get(), out.get() + n);
  for (double& sample : signal) sample /= static_cast<double>(n);
  return signal;
}

std::size_t goodTransformLength(std::size_t least) {
  std::size_t best = 1;
  while (best < least) best *= 2;
  // 2^a 3^b 5^c at or above `least`: often much shorter than the next power of two.
  for (std::size_t three = 1; three < best; three *= 3) {
    for (std::size_t five = three; five < best; five *= 5) {
      std::size_t length = five;
      while (length < least) length *= 2;
      best = std::min(best, length);
    }
  }
  return best;
}

}  // namespace kqfx::command::analyze
