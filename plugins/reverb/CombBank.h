#pragma once
// The eight parallel lowpass-feedback combs of one reverb channel, run side
// by side in SSE2 lanes. Each lane does exactly what one `comb` does, in the
// same order and at the same precision: the delayed sample is flushed, the
// lowpass is formed in double and rounded to float once, then flushed, and
// the sample written back is input + lowpass * feedback formed in double and
// rounded once. The outputs are summed in comb order in float, starting
// from 0, as a loop over separate combs would. So the bank's answer is bit
// for bit that of eight `comb`s; only the independent per-comb arithmetic
// shares instructions.
//
// Every comb of the bank has the same feedback and damping. The delay
// memory belongs to the enclosing engine; the bank only points into it.
//
// Threads: as the engine that owns it (set-up before audio starts or on the
// audio thread, processing on the audio thread); nothing allocates, locks
// or throws.

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace kqfx {

class CombBank {
 public:
  static constexpr int32_t kCombs = 8;

  CombBank() = default;
  CombBank(const CombBank&) = delete;
  CombBank& operator=(const CombBank&) = delete;

  // Attaches `size` floats of delay memory to comb `index` and starts its
  // read/write position at the beginning.
  void setbuffer(int32_t index, float* memory, int32_t size);
  // Zeroes the delay memory; lowpass states and positions stay as they are.
  void mute();
  // Zeroes the delay memory and the lowpass states: after bad arithmetic
  // the combs start afresh.
  void clear();

  // `damp` weighs the previous lowpass state, 1 - `damp` the new sample.
  void setdamp(float value);
  float getdamp() const { return damp; }
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

  // How many frames can run from the current positions before a delay
  // line wraps around: at least 1.
  int32_t framesToWrap() const {
    std::ptrdiff_t frames = end[0] - cursor[0];
    for (std::size_t i = 1; i < kCombs; ++i) frames = std::min(frames, end[i] - cursor[i]);
    return static_cast<int32_t>(frames);
  }

 private:
  using Cells = std::array<float*, kCombs>;

  // The eight cells of one frame, `offset` frames on from where a stretch
  // began. The helpers up to writeBackAndSum are inlined into both the
  // plain and the wide stretch, so each is encoded for its own path.
  __attribute__((always_inline)) static Cells cellsAt(const Cells& start, int32_t offset) {
    Cells cells;
    for (std::size_t i = 0; i < kCombs; ++i) cells[i] = start[i] + offset;
    return cells;
  }

  // The delayed samples of combs first..first+3, flushed.
  __attribute__((always_inline)) static __m128 gather(const Cells& c, std::size_t first) {
    return flush4(_mm_setr_ps(*c[first], *c[first + 1], *c[first + 2], *c[first + 3]));
  }

  // Writes each comb's new sample back to its cell and answers the sum of
  // the delayed samples in comb order, in float from 0.
  __attribute__((always_inline)) static float writeBackAndSum(const Cells& c, __m128 writtenLow,
                                                             __m128 writtenHigh,
                                                             __m128 delayedLow,
                                                             __m128 delayedHigh) {
    _mm_store_ss(c[0], writtenLow);
    _mm_store_ss(c[1], _mm_shuffle_ps(writtenLow, writtenLow, 1));
    _mm_store_ss(c[2], _mm_movehl_ps(writtenLow, writtenLow));
    _mm_store_ss(c[3], _mm_shuffle_ps(writtenLow, writtenLow, 3));
    _mm_store_ss(c[4], writtenHigh);
    _mm_store_ss(c[5], _mm_shuffle_ps(writtenHigh, writtenHigh, 1));
    _mm_store_ss(c[6], _mm_movehl_ps(writtenHigh, writtenHigh));
    _mm_store_ss(c[7], _mm_shuffle_ps(writtenHigh, writtenHigh, 3));

    alignas(16) float delayed[kCombs];
    _mm_store_ps(delayed, delayedLow);
    _mm_store_ps(delayed + 4, delayedHigh);
    float sum = 0.0f;
    for (std::size_t i = 0; i < kCombs; ++i) sum += delayed[i];
    return sum;
  }

 public:
  // A run of at most framesToWrap() frames, held in registers: the eight
  // positions, the settings and the lowpass states. Only one Stretch of a
  // bank may exist at a time; finish() hands the lowpass states back.
  class Stretch {
   public:
    explicit Stretch(CombBank& bank) : bank_(bank) {
      for (std::size_t i = 0; i < kCombs; ++i) cells_[i] = bank.cursor[i];
      reloadSettings();
      reloadState();
    }
    Stretch(const Stretch&) = delete;
    Stretch& operator=(const Stretch&) = delete;

    // After the bank's feedback or damping changed.
    void reloadSettings() {
      damp_ = _mm_set1_pd(static_cast<double>(bank_.damp));
      dampComplement_ = _mm_set1_pd(static_cast<double>(bank_.dampComplement));
      feedback_ = _mm_set1_pd(static_cast<double>(bank_.feedback));
    }
    // After the bank was cleared.
    void reloadState() {
      setState(_mm_loadu_ps(bank_.lowpassState.data()),
               _mm_loadu_ps(bank_.lowpassState.data() + 4));
    }
    void finish() {
      _mm_storeu_ps(bank_.lowpassState.data(), stateLow_);
      _mm_storeu_ps(bank_.lowpassState.data() + 4, stateHigh_);
    }

    // One frame of all eight combs fed with `input`, `offset` frames after
    // the positions the stretch began at: the sum of their delayed samples,
    // comb 1 first.
    float process(float input, int32_t offset) {
      const Cells c = cellsAt(cells_, offset);
      const __m128 delayedLow = gather(c, 0);
      const __m128 delayedHigh = gather(c, 4);
      const __m128d inputD = _mm_set1_pd(static_cast<double>(input));

      setState(flush4(lowpass(delayedLow, state_[0], state_[1], dampComplement_, damp_)),
               flush4(lowpass(delayedHigh, state_[2], state_[3], dampComplement_, damp_)));

      const __m128 writtenLow = feedBack(state_[0], state_[1], inputD, feedback_);
      const __m128 writtenHigh = feedBack(state_[2], state_[3], inputD, feedback_);
      return writeBackAndSum(c, writtenLow, writtenHigh, delayedLow, delayedHigh);
    }

   private:
    // The states as floats and, converted once, as doubles for both of
    // their uses.
    void setState(__m128 low, __m128 high) {
      stateLow_ = low;
      stateHigh_ = high;
      state_[0] = _mm_cvtps_pd(low);
      state_[1] = _mm_cvtps_pd(_mm_movehl_ps(low, low));
      state_[2] = _mm_cvtps_pd(high);
      state_[3] = _mm_cvtps_pd(_mm_movehl_ps(high, high));
    }

    CombBank& bank_;
    std::array<float*, kCombs> cells_;
    __m128d damp_;
    __m128d dampComplement_;
    __m128d feedback_;
    __m128 stateLow_;
    __m128 stateHigh_;
    __m128d state_[4];
  };

  // The same as Stretch with four lanes of double per instruction where
  // Stretch has two: every lane's operations and roundings are the same.
  // Only for code compiled for processors with AVX.
  class WideStretch {
   public:
    __attribute__((target("avx"))) explicit WideStretch(CombBank& bank) : bank_(bank) {
      for (std::size_t i = 0; i < kCombs; ++i) cells_[i] = bank.cursor[i];
      reloadSettings();
      reloadState();
    }
    WideStretch(const WideStretch&) = delete;
    WideStretch& operator=(const WideStretch&) = delete;

    __attribute__((target("avx"))) void reloadSettings() {
      damp_ = _mm256_set1_pd(static_cast<double>(bank_.damp));
      dampComplement_ = _mm256_set1_pd(static_cast<double>(bank_.dampComplement));
      feedback_ = _mm256_set1_pd(static_cast<double>(bank_.feedback));
    }
    __attribute__((target("avx"))) void reloadState() {
      setState(_mm_loadu_ps(bank_.lowpassState.data()),
               _mm_loadu_ps(bank_.lowpassState.data() + 4));
    }
    __attribute__((target("avx"))) void finish() {
      _mm_storeu_ps(bank_.lowpassState.data(), stateLow_);
      _mm_storeu_ps(bank_.lowpassState.data() + 4, stateHigh_);
    }

    __attribute__((target("avx"))) float process(float input, int32_t offset) {
      const Cells c = cellsAt(cells_, offset);
      const __m128 delayedLow = gather(c, 0);
      const __m128 delayedHigh = gather(c, 4);
      const __m256d inputD = _mm256_set1_pd(static_cast<double>(input));

      setState(flush4(lowpass(delayedLow, stateLowD_)), flush4(lowpass(delayedHigh, stateHighD_)));

      const __m128 writtenLow =
          _mm256_cvtpd_ps(_mm256_add_pd(inputD, _mm256_mul_pd(stateLowD_, feedback_)));
      const __m128 writtenHigh =
          _mm256_cvtpd_ps(_mm256_add_pd(inputD, _mm256_mul_pd(stateHighD_, feedback_)));
      return writeBackAndSum(c, writtenLow, writtenHigh, delayedLow, delayedHigh);
    }

   private:
    __attribute__((target("avx"))) __m128 lowpass(__m128 delayed, __m256d state) const {
      return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(delayed), dampComplement_),
                                           _mm256_mul_pd(state, damp_)));
    }
    __attribute__((target("avx"))) void setState(__m128 low, __m128 high) {
      stateLow_ = low;
      stateHigh_ = high;
      stateLowD_ = _mm256_cvtps_pd(low);
      stateHighD_ = _mm256_cvtps_pd(high);
    }

    CombBank& bank_;
    std::array<float*, kCombs> cells_;
    __m256d damp_;
    __m256d dampComplement_;
    __m256d feedback_;
    __m128 stateLow_;
    __m128 stateHigh_;
    __m256d stateLowD_;
    __m256d stateHighD_;
  };

  // Moves every position on by `frames`, at most framesToWrap().
  void advance(int32_t frames) {
    for (std::size_t i = 0; i < kCombs; ++i) {
      cursor[i] += frames;
      if (cursor[i] == end[i]) cursor[i] = start[i];
    }
  }

 private:
  // Zero and subnormal lanes (all exponent bits clear) become +0.
  static __m128 flush4(__m128 value) {
    const __m128i exponent =
        _mm_and_si128(_mm_castps_si128(value), _mm_set1_epi32(0x7F800000));
    const __m128i isTiny = _mm_cmpeq_epi32(exponent, _mm_setzero_si128());
    return _mm_andnot_ps(_mm_castsi128_ps(isTiny), value);
  }

  // Four lanes of float(double(delayed) * (1 - damp) + double(state) * damp).
  // The state comes as two pairs of doubles.
  static __m128 lowpass(__m128 delayed, __m128d stateLow, __m128d stateHigh,
                        __m128d dampComplementD, __m128d dampD) {
    const __m128d low = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(delayed), dampComplementD),
                                   _mm_mul_pd(stateLow, dampD));
    const __m128d high =
        _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(delayed, delayed)), dampComplementD),
                   _mm_mul_pd(stateHigh, dampD));
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
  }

  // Four lanes of float(double(input) + double(state) * feedback).
  static __m128 feedBack(__m128d stateLow, __m128d stateHigh, __m128d inputD,
                         __m128d feedbackD) {
    const __m128d low = _mm_add_pd(inputD, _mm_mul_pd(stateLow, feedbackD));
    const __m128d high = _mm_add_pd(inputD, _mm_mul_pd(stateHigh, feedbackD));
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
  }

  std::array<float, kCombs> lowpassState{};
  std::array<float*, kCombs> cursor{};
  std::array<float*, kCombs> start{};
  std::array<float*, kCombs> end{};
  float feedback = 0.0f;
  float damp = 0.0f;
  float dampComplement = 1.0f;
};

}  // namespace kqfx
