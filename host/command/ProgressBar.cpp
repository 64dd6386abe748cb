#include "ProgressBar.h"

#include <sys/ioctl.h>
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
  const double elapsed = now - start_;
  const bool looksLong = framesTotal > 0 && framesDone > 0 &&
                         elapsed * static_cast<double>(framesTotal) / static_cast<double>(framesDone) >=
                             kDelaySeconds;
  if (!shown_ && elapsed < kDelaySeconds && !looksLong) return;
  if (shown_ && now - lastDrawn_ < kRedrawSeconds) return;
  output_(line(label_, framesDone, framesTotal, sampleRate_, columns_));
  shown_ = true;
  lastDrawn_ = now;
}

void ProgressBar::finish() {
  if (!shown_) return;
  output_(line(label_, lastDone_, lastTotal_, sampleRate_, columns_) + "\n");
  shown_ = false;
}

std::string ProgressBar::line(const std::string& label, int64_t done, int64_t total,
                              double sampleRate, int columns) {
  char numbers[96];
  const double doneSeconds = static_cast<double>(done) / sampleRate;
  if (total <= 0) {
    std::snprintf(numbers, sizeof numbers, "  %.1f s", doneSeconds);
  }
  const double fraction =
      total <= 0 ? 0.0 : std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
  if (total > 0) {
    std::snprintf(numbers, sizeof numbers, " %3d%%  %.1f s of %.1f s",
                  static_cast<int>(fraction * 100.0), doneSeconds,
                  static_cast<double>(total) / sampleRate);
  }
  const std::string tail = numbers;
  // One column stays free: a line that fills the terminal wraps on some.
  const std::size_t room = columns > 0 ? static_cast<std::size_t>(columns) - 1 : std::string::npos;
  int width = total <= 0 ? 0 : kWidth;
  const auto used = [&] { return label.size() + tail.size() + (width > 0 ? width + 3 : 0); };
  while (width > 10 && used() > room) --width;
  std::string shownLabel = label;
  if (used() > room) {
    const std::size_t keep = room > used() - label.size() ? room - (used() - label.size()) : 0;
    shownLabel = label.substr(0, keep);
  }
  std::string text = "\r" + shownLabel;
  if (width > 0) {
    const int filled = static_cast<int>(fraction * width);
    text += " [" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(width - filled), '.') + "]";
  }
  return text + tail;
}

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int terminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 0;
}

void writeToStandardError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kqfx::command
