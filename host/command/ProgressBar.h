#pragma once
// A one-line progress bar for long renders. It shows up only once a job
// has run for a second, so quick jobs print nothing, and redraws at most
// ten times a second.

#include <cstdint>
#include <functional>
#include <string>

namespace kqfx::command {

class ProgressBar {
 public:
  using Clock = std::function<double()>;         // seconds, steadily rising
  using Output = std::function<void(const std::string&)>;

  // `label` names the job ("Pellvo.wav"); `sampleRate` turns frames into
  // seconds of audio.
  ProgressBar(std::string label, double sampleRate, Output output, Clock clock);

  void update(int64_t framesDone, int64_t framesTotal);
  // Ends the line if a bar was drawn; safe to call more than once.
  void finish();

  static constexpr double kDelaySeconds = 1.0;
  static constexpr double kRedrawSeconds = 0.1;
  static constexpr int kWidth = 30;

  // The bar as drawn: "\r<label> [#####.....]  42%  1.7 s of 4.0 s".
  static std::string line(const std::string& label, int64_t done, int64_t total,
                          double sampleRate);

 private:
  std::string label_;
  double sampleRate_;
  Output output_;
  Clock clock_;
  double start_;
  double lastDrawn_ = -1.0;
  bool shown_ = false;
  int64_t lastDone_ = 0;
  int64_t lastTotal_ = 0;
};

// The real clock and standard error.
double steadySeconds();
void writeToStandardError(const std::string& text);

}  // namespace kqfx::command
