#pragma once
// A one-line progress bar for long renders. It shows up as soon as a job
// looks like taking a second or more (or has run for one), so quick jobs
// print nothing, redraws at most ten times a second, and fits the
// terminal's width.

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

  // The terminal's width in columns; 0 (the default) for no limit.
  void setColumns(int columns) { columns_ = columns; }

  void update(int64_t framesDone, int64_t framesTotal);
  // Ends the line if a bar was drawn; safe to call more than once.
  void finish();

  static constexpr double kDelaySeconds = 1.0;
  static constexpr double kRedrawSeconds = 0.1;
  static constexpr int kWidth = 30;

  // The bar as drawn: "\r<label> [#####.....]  42%  1.7 s of 4.0 s",
  // narrower bar and then shorter label to fit in `columns` (0: no limit).
  static std::string line(const std::string& label, int64_t done, int64_t total,
                          double sampleRate, int columns = 0);

 private:
  std::string label_;
  double sampleRate_;
  Output output_;
  Clock clock_;
  double start_;
  double lastDrawn_ = -1.0;
  bool shown_ = false;
  int columns_ = 0;
  int64_t lastDone_ = 0;
  int64_t lastTotal_ = 0;
};

// The real clock and standard error, and the width of the terminal on
// standard error (0 when it cannot tell).
double steadySeconds();
int terminalColumns();
void writeToStandardError(const std::string& text);

}  // namespace kqfx::command
