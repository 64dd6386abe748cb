#pragma once
// Line plots (and one heat map) drawn with cairo into SVG or PNG files:
// a title, stacked panels with ticked and labelled axes, and a legend.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kqfx::command::analyze {

struct Axis {
  Axis(std::string label_ = {}, double min_ = 0.0, double max_ = 1.0, bool logarithmic_ = false,
       double step_ = 0.0)
      : label(std::move(label_)), min(min_), max(max_), logarithmic(logarithmic_), step(step_) {}

  std::string label;  // with its unit: "Frequency (Hz)"
  double min = 0.0;
  double max = 1.0;
  bool logarithmic = false;
  double step = 0.0;  // between ticks of a linear axis; 0 picks a 1-2-5 step
  std::vector<double> ticks;  // when given, these ticks and no others
};

struct Series {
  std::string label;  // shown in the legend when there is more than one series
  std::vector<double> x, y;
  bool points = false;  // dots instead of a line
  bool dashed = false;
  int colour = -1;  // index into the palette; -1: the series' own position
};

// Levels in dB on a grid of columns (x) and rows (y), drawn as colours.
struct HeatMap {
  double x0 = 0.0, xStep = 1.0;  // x of column i: x0 + i * xStep
  double y0 = 0.0, yStep = 1.0;  // y of row j: y0 + j * yStep
  std::vector<std::vector<double>> levelDb;  // [column][row]
  double floorDb = -100.0, topDb = 0.0;
};

struct Panel {
  Axis x, y;
  std::vector<Series> series;
  std::vector<HeatMap> heat;  // none or one
};

struct Figure {
  std::string title;     // the plug-in and what is measured
  std::string subtitle;  // its settings
  std::vector<Panel> panels;
};

enum class ImageFormat { svg, png };

// Throws CommandFailure when the file cannot be written.
void drawFigure(const Figure& figure, const std::filesystem::path& path, ImageFormat format);

// Frees what cairo and fontconfig keep for drawing text, once no drawing
// is left to do (so leak checkers see a clean exit).
void releaseDrawingCaches();

// Tick positions for an axis: 1-2-5 steps (decades and their 2s and 5s on
// a logarithmic one) within min..max.
std::vector<double> axisTicks(const Axis& axis);
// A tick's text: "500", "1k", "2.5", "-40".
std::string tickText(double value);

}  // namespace kqfx::command::analyze
