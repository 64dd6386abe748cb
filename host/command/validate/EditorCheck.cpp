// The editor, only when the user asks for it (--gui) and a display is
// there: opened in a window of ours, idled while audio runs and
// parameters move, closed, twice.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "CheckSupport.h"
#include "Checks.h"
#include "Vst2Rig.h"

#if defined(KQFX_HAVE_X11)
#include <X11/Xlib.h>
#endif

namespace kqfx::command::validate {
namespace {

constexpr int32_t kFlagHasEditor = 0x1;

// The rectangle the editor asks for: top, left, bottom, right.
struct EditorRect {
  int16_t top, left, bottom, right;
};

}  // namespace

CheckOutcome checkEditor(const CheckContext& context) {
  if (!context.settings.gui) return CheckOutcome::skipped("the editor is opened only with --gui");
  if (!displayAvailable()) {
    return CheckOutcome::skipped("no display (DISPLAY is not set): the editor is left alone");
  }
#if !defined(KQFX_HAVE_X11)
  return CheckOutcome::skipped("this kqfx was built without X11, so it cannot make a window");
#else
  Vst2Rig rig(context.library(), 44100.0f, 256);
  if ((rig.plugin().record().flags & kFlagHasEditor) == 0) {
    return CheckOutcome::skipped("the plug-in has no editor");
  }
  Display* connection = XOpenDisplay(nullptr);
  if (!connection) return CheckOutcome::skipped(std::string("cannot open display ") + std::getenv("DISPLAY"));
  std::mt19937_64 random = context.random();
  Noise noise(context.settings.seed);
  SampleCounts counts;
  int64_t at = 0;
  rig.resume();
  int idles = 0;
  int width = 0;
  int height = 0;
  for (int round = 0; round < 2; ++round) {
    EditorRect* rect = nullptr;
    rig.plugin().dispatch(opEditorGetRect, 0, 0, &rect);
    width = rect ? rect->right - rect->left : 0;
    height = rect ? rect->bottom - rect->top : 0;
    const Window window = XCreateSimpleWindow(
        connection, DefaultRootWindow(connection), 0, 0, static_cast<unsigned>(width > 0 ? width : 400),
        static_cast<unsigned>(height > 0 ? height : 300), 0, 0, 0);
    XMapWindow(connection, window);
    XSync(connection, False);
    rig.plugin().dispatch(opEditorOpen, 0, 0, reinterpret_cast<void*>(window));
    for (int i = 0; i < context.scaled(20); ++i) {
      rig.plugin().dispatch(opEditorIdle);
      randomizeParameters(rig, random);
      renderNoise(rig, noise, 256, 256, counts, at);
      while (XPending(connection)) {
        XEvent event;
        XNextEvent(connection, &event);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ++idles;
    }
    rig.plugin().dispatch(opEditorClose);
    XDestroyWindow(connection, window);
    XSync(connection, False);
  }
  XCloseDisplay(connection);
  if (!counts.allFinite()) {
    return CheckOutcome::failed(counts.describeNonFinite() + " samples while the editor was open");
  }
  return CheckOutcome::passed("editor of " + std::to_string(width) + "x" + std::to_string(height) +
                              " opened in a window, idled " + std::to_string(idles) +
                              " times while audio ran and parameters moved, closed; twice");
#endif
}

}  // namespace kqfx::command::validate
