#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kqfx::command {

ProgressBar::ProgressBar(std::string label, double sampleRate, Output output, Clock clock)
    : label_(std::move(label)),
      sampleRate_(sampleRate),
      output_(std::move(output)),
      clock_(std::move(clock)),
      start_(clock_()) {}

void ProgressBar::update(int64_t framesDone, int64_t framesTotal) {
  lastDone_ = framesDone;
  lastTotal_ = framesTotal;
  const double now = clock_();
  if (now - start_ < kDelaySeconds) return;
  if (shown_ && now - lastDrawn_ < kRedrawSeconds) return;
  output_(line(label_, framesDone, framesTotal, sampleRate_));
  shown_ = true;
  lastDrawn_ = now;
}

void ProgressBar::finish() {
  if (!shown_) return;
  output_(line(label_, lastDone_, lastTotal_, sampleRate_) + "\n");
  shown_ = false;
}

std::string ProgressBar::line(const std::string& label, int64_t done, int64_t total,
                              double sampleRate) {
  char text[160];
  const double doneSeconds = static_cast<double>(done) / sampleRate;
  if (total <= 0) {
    std::snprintf(text, sizeof text, "\r%s  %.1f s", label.c_str(), doneSeconds);
    return text;
  }
  const double fraction = std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kWidth);
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kWidth - filled), '.');
  std::snprintf(text, sizeof text, "\r%s [%s] %3d%%  %.1f s of %.1f s", label.c_str(), bar.c_str(),
                static_cast<int>(fraction * 100.0), doneSeconds,
                static_cast<double>(total) / sampleRate);
  return text;
}

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void writeToStandardError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kqfx::command
