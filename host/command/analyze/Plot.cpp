#include "analyze/Plot.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "CommandErrors.h"

namespace kqfx::command::analyze {
namespace {

constexpr double kWidth = 900.0;
constexpr double kPanelHeight = 340.0;
constexpr double kTop = 64.0;
constexpr double kLeft = 78.0;
constexpr double kRight = 24.0;
constexpr double kBottomMargin = 56.0;

// Distinct, print-friendly line colours.
constexpr std::array<std::array<double, 3>, 8> kColours = {{{0.12, 0.47, 0.71},
                                                            {0.85, 0.37, 0.01},
                                                            {0.17, 0.63, 0.17},
                                                            {0.84, 0.15, 0.16},
                                                            {0.58, 0.40, 0.74},
                                                            {0.55, 0.34, 0.29},
                                                            {0.89, 0.47, 0.76},
                                                            {0.50, 0.50, 0.50}}};

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

const std::array<double, 3>& colourOf(const Series& series, std::size_t position) {
  const std::size_t index = series.colour >= 0 ? static_cast<std::size_t>(series.colour) : position;
  return kColours[index % kColours.size()];
}

struct Frame {
  double left, top, width, height;
};

double fraction(const Axis& axis, double value) {
  if (axis.logarithmic) {
    return (std::log(value) - std::log(axis.min)) / (std::log(axis.max) - std::log(axis.min));
  }
  return (value - axis.min) / (axis.max - axis.min);
}

double toX(const Frame& f, const Axis& axis, double value) {
  return f.left + f.width * fraction(axis, value);
}
double toY(const Frame& f, const Axis& axis, double value) {
  return f.top + f.height * (1.0 - fraction(axis, value));
}

void text(cairo_t* cr, const std::string& s, double x, double y, double alignX, double size,
          bool bold = false) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, s.c_str(), &extents);
  cairo_move_to(cr, x - alignX * extents.x_advance, y);
  cairo_show_text(cr, s.c_str());
}

// Level in dB to a colour: black, blue, red, yellow, white.
std::array<unsigned char, 3> heatColour(double t) {
  static constexpr std::array<std::array<double, 3>, 5> stops = {
      {{0, 0, 0}, {0.1, 0.1, 0.6}, {0.8, 0.1, 0.2}, {1.0, 0.8, 0.1}, {1, 1, 1}}};
  t = std::clamp(t, 0.0, 1.0) * 4.0;
  const auto i = std::min<std::size_t>(static_cast<std::size_t>(t), 3);
  const double u = t - static_cast<double>(i);
  std::array<unsigned char, 3> rgb{};
  for (std::size_t c = 0; c < 3; ++c) {
    rgb[c] = static_cast<unsigned char>(255.0 * (stops[i][c] + u * (stops[i + 1][c] - stops[i][c])));
  }
  return rgb;
}

void drawHeat(cairo_t* cr, const Frame& f, const Panel& panel, const HeatMap& heat) {
  const int w = static_cast<int>(f.width), h = static_cast<int>(f.height);
  const Surface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
  cairo_surface_flush(image.get());
  unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  const std::size_t columns = heat.levelDb.size();
  for (int px = 0; px < w && columns > 0; ++px) {
    const double xv = panel.x.min + (panel.x.max - panel.x.min) * (px + 0.5) / w;
    const auto column = static_cast<std::size_t>(
        std::clamp((xv - heat.x0) / heat.xStep, 0.0, static_cast<double>(columns - 1)));
    const auto& rows = heat.levelDb[column];
    for (int py = 0; py < h; ++py) {
      const double t = 1.0 - (py + 0.5) / h;
      const double yv = panel.y.logarithmic
                            ? std::exp(std::log(panel.y.min) + t * (std::log(panel.y.max) - std::log(panel.y.min)))
                            : panel.y.min + t * (panel.y.max - panel.y.min);
      const double r = (yv - heat.y0) / heat.yStep;
      const double level = rows.empty() ? heat.floorDb
                                        : rows[static_cast<std::size_t>(std::clamp(
                                              std::lround(r), 0L, static_cast<long>(rows.size() - 1)))];
      const auto rgb = heatColour((level - heat.floorDb) / (heat.topDb - heat.floorDb));
      unsigned char* pixel = data + py * stride + px * 4;
      pixel[0] = rgb[2];
      pixel[1] = rgb[1];
      pixel[2] = rgb[0];
      pixel[3] = 255;
    }
  }
  cairo_surface_mark_dirty(image.get());
  cairo_set_source_surface(cr, image.get(), f.left, f.top);
  cairo_paint(cr);
}

void drawPanel(cairo_t* cr, const Frame& f, const Panel& panel) {
  for (const HeatMap& heat : panel.heat) drawHeat(cr, f, panel, heat);

  // Grid and ticks.
  cairo_set_line_width(cr, 1.0);
  for (const double tick : axisTicks(panel.x)) {
    const double x = toX(f, panel.x, tick);
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    if (panel.heat.empty()) {
      cairo_move_to(cr, x, f.top);
      cairo_line_to(cr, x, f.top + f.height);
      cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_move_to(cr, x, f.top + f.height);
    cairo_line_to(cr, x, f.top + f.height + 5);
    cairo_stroke(cr);
    text(cr, tickText(tick), x, f.top + f.height + 18, 0.5, 11);
  }
  for (const double tick : axisTicks(panel.y)) {
    const double y = toY(f, panel.y, tick);
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    if (panel.heat.empty()) {
      cairo_move_to(cr, f.left, y);
      cairo_line_to(cr, f.left + f.width, y);
      cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_move_to(cr, f.left - 5, y);
    cairo_line_to(cr, f.left, y);
    cairo_stroke(cr);
    text(cr, tickText(tick), f.left - 8, y + 4, 1.0, 11);
  }
  text(cr, panel.x.label, f.left + f.width / 2, f.top + f.height + 38, 0.5, 12);
  cairo_save(cr);
  cairo_translate(cr, f.left - 52, f.top + f.height / 2);
  cairo_rotate(cr, -M_PI / 2);
  text(cr, panel.y.label, 0, 0, 0.5, 12);
  cairo_restore(cr);

  // The curves, clipped to the frame.
  cairo_save(cr);
  cairo_rectangle(cr, f.left, f.top, f.width, f.height);
  cairo_clip(cr);
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (std::size_t s = 0; s < panel.series.size(); ++s) {
    const Series& series = panel.series[s];
    const auto& colour = colourOf(series, s);
    cairo_set_source_rgb(cr, colour[0], colour[1], colour[2]);
    if (series.dashed) {
      const double dashes[] = {6.0, 4.0};
      cairo_set_dash(cr, dashes, 2, 0.0);
    } else {
      cairo_set_dash(cr, nullptr, 0, 0.0);
    }
    bool drawing = false;
    for (std::size_t i = 0; i < series.x.size() && i < series.y.size(); ++i) {
      const double xv = series.x[i], yv = series.y[i];
      if (!std::isfinite(xv) || !std::isfinite(yv) || (panel.x.logarithmic && xv <= 0)) {
        drawing = false;
        continue;
      }
      // Far outside values are pinned just outside the frame.
      const double x = toX(f, panel.x, xv);
      const double y = std::clamp(toY(f, panel.y, yv), f.top - 10, f.top + f.height + 10);
      if (series.points) {
        cairo_arc(cr, x, y, 3.0, 0, 2 * M_PI);
        cairo_fill(cr);
      } else if (drawing) {
        cairo_line_to(cr, x, y);
      } else {
        cairo_move_to(cr, x, y);
        drawing = true;
      }
    }
    if (!series.points) cairo_stroke(cr);
  }
  cairo_restore(cr);
  cairo_set_dash(cr, nullptr, 0, 0.0);

  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, f.left, f.top, f.width, f.height);
  cairo_stroke(cr);

  // Legend, top right, when the series need telling apart.
  std::vector<std::size_t> named;
  for (std::size_t s = 0; s < panel.series.size(); ++s) {
    if (!panel.series[s].label.empty()) named.push_back(s);
  }
  if (named.size() < 2) return;
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 11);
  double widest = 0.0;
  for (const std::size_t s : named) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, panel.series[s].label.c_str(), &extents);
    widest = std::max(widest, extents.x_advance);
  }
  const double boxW = widest + 44, boxH = 16.0 * static_cast<double>(named.size()) + 8;
  const double bx = f.left + f.width - boxW - 8, by = f.top + 8;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_rectangle(cr, bx, by, boxW, boxH);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_stroke(cr);
  for (std::size_t n = 0; n < named.size(); ++n) {
    const Series& series = panel.series[named[n]];
    const auto& colour = colourOf(series, named[n]);
    const double y = by + 14 + 16.0 * static_cast<double>(n);
    cairo_set_source_rgb(cr, colour[0], colour[1], colour[2]);
    cairo_set_line_width(cr, 2.0);
    if (series.dashed) {
      const double dashes[] = {6.0, 4.0};
      cairo_set_dash(cr, dashes, 2, 0.0);
    } else {
      cairo_set_dash(cr, nullptr, 0, 0.0);
    }
    cairo_move_to(cr, bx + 8, y - 4);
    cairo_line_to(cr, bx + 30, y - 4);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    text(cr, series.label, bx + 36, y, 0.0, 11);
  }
}

}  // namespace

void releaseDrawingCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

std::vector<double> axisTicks(const Axis& axis) {
  if (!axis.ticks.empty()) return axis.ticks;
  std::vector<double> ticks;
  if (!(axis.max > axis.min)) return ticks;
  if (axis.logarithmic) {
    const double decades = std::log10(axis.max / axis.min);
    const std::array<double, 3> steps = decades > 4 ? std::array<double, 3>{1, 0, 0}
                                                    : std::array<double, 3>{1, 2, 5};
    for (double decade = std::pow(10.0, std::floor(std::log10(axis.min))); decade <= axis.max;
         decade *= 10.0) {
      for (const double step : steps) {
        const double v = decade * step;
        if (step > 0 && v >= axis.min * 0.999 && v <= axis.max * 1.001) ticks.push_back(v);
      }
    }
    return ticks;
  }
  const double rough = (axis.max - axis.min) / 6.0;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = axis.step;
  for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (axis.step > 0.0) break;
    step = m * power;
    if (step >= rough) break;
  }
  for (double v = std::ceil(axis.min / step - 1e-9) * step; v <= axis.max + step * 1e-9; v += step) {
    ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return ticks;
}

std::string tickText(double value) {
  char buffer[32];
  if (std::abs(value) >= 1000.0) {
    std::snprintf(buffer, sizeof buffer, "%gk", value / 1000.0);
  } else {
    std::snprintf(buffer, sizeof buffer, "%g", value);
  }
  return buffer;
}

void drawFigure(const Figure& figure, const std::filesystem::path& path, ImageFormat format) {
  const double height =
      kTop + static_cast<double>(figure.panels.size()) * (kPanelHeight + kBottomMargin) + 8;
  Surface surface(format == ImageFormat::svg
                      ? cairo_svg_surface_create(path.c_str(), kWidth, height)
                      : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(kWidth),
                                                   static_cast<int>(height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw CommandFailure("cannot write '" + path.string() + "': " +
                         cairo_status_to_string(cairo_surface_status(surface.get())));
  }
  {
    const Context cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    cairo_set_source_rgb(cr.get(), 0.05, 0.05, 0.05);
    text(cr.get(), figure.title, kWidth / 2, 24, 0.5, 16, true);
    text(cr.get(), figure.subtitle, kWidth / 2, 44, 0.5, 12);
    double top = kTop;
    for (const Panel& panel : figure.panels) {
      drawPanel(cr.get(), {kLeft, top, kWidth - kLeft - kRight, kPanelHeight - 8}, panel);
      top += kPanelHeight + kBottomMargin;
    }
  }
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (format == ImageFormat::png) {
    status = cairo_surface_write_to_png(surface.get(), path.c_str());
  } else {
    cairo_surface_finish(surface.get());
    status = cairo_surface_status(surface.get());
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    throw CommandFailure("cannot write '" + path.string() + "': " + cairo_status_to_string(status));
  }
}

}  // namespace kqfx::command::analyze
