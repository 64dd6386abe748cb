#pragma once
// The validator's checks: each one drives the plug-in through one kind of
// trouble hosts put it through and says what it saw.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "CallTrail.h"
#include "kqfx/host/Lv2World.h"
#include "kqfx/host/Plugin.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::command::validate {

struct ValidationSettings {
  int level = 5;      // 1..10: which checks, how many rounds, how strict
  uint64_t seed = 1;  // every random choice follows from it
  bool gui = false;   // the editor may be opened (asked for, and a display is there)
  bool extremeRates = false;  // 1 Hz and 768 kHz too, rates no host uses
};

// notApplicable: the check is about something the plug-in's format does
// not have; it is not run.
enum class Verdict { pass, fail, skip, notApplicable };

struct CheckOutcome {
  Verdict verdict = Verdict::pass;
  std::string seen;  // one line: what the check did or found

  static CheckOutcome passed(std::string seen) { return {Verdict::pass, std::move(seen)}; }
  // Also ends the call trail here (see CallTrail): a check returns its
  // failure before its plug-ins are closed.
  static CheckOutcome failed(std::string seen) {
    freezeCallTrail();
    return {Verdict::fail, std::move(seen)};
  }
  static CheckOutcome skipped(std::string seen) { return {Verdict::skip, std::move(seen)}; }
  static CheckOutcome notApplicable(std::string seen) {
    return {Verdict::notApplicable, std::move(seen)};
  }
};

using host::PluginFormat;

// "VST 2" or "LV2", as reports name the format.
const char* formatTitle(PluginFormat format);

// The plug-in under test as the check's own process opened it.
struct PluginUnderTest {
  PluginFormat format = PluginFormat::vst2;
  const host::PluginLibrary* library = nullptr;  // VST 2: the shared object
  host::Lv2World* world = nullptr;               // LV2: the world that knows it
  std::string uri;                               // LV2
};

// What a check gets: the plug-in, loaded in the check's own process, and
// the settings.
struct CheckContext {
  const PluginUnderTest& plugin;
  ValidationSettings settings;
  std::string checkName;

  PluginFormat format() const { return plugin.format; }
  // The VST 2 plug-in's shared object (checks of VST 2 alone use it).
  const host::PluginLibrary& library() const { return *plugin.library; }

  // A generator of its own for each check, so that running one check alone
  // makes the same choices as running it among all.
  std::mt19937_64 random() const;
  // Scales a count or a duration with the level: `atLevelOne` at level 1,
  // ten times that at level 10.
  int scaled(int atLevelOne) const { return atLevelOne * settings.level; }
};

using CheckFunction = CheckOutcome (*)(const CheckContext& context);

struct CheckDefinition {
  const char* name;     // as given to --check and printed
  const char* purpose;  // for the help page
  CheckFunction run;
  int level;            // the lowest level that runs it
  // Why the check does not apply to LV2 plug-ins (null: it does); the
  // report says so instead of running it.
  const char* notForLv2 = nullptr;
  // Checks of what LV2 alone has (connect_port) are no part of a VST 2
  // plug-in's battery.
  bool lv2Only = false;
};

// Every check, in the order they run.
const std::vector<CheckDefinition>& checkCatalogue();

// The level from which parameter-fuzz writes values far outside 0..1,
// NaN and infinities. Hosts send 0..1, and at worst the values rounding
// gives at its edges, which is all parameter-fuzz writes below it; a
// plug-in may still want to survive more.
constexpr int kFarOutParameterLevel = 7;
// The level from which the comparison checks ask for identical output.
// Below it, output that differs by no more than kComparisonToleranceDb
// relative to the signal's peak passes: plug-ins that work in vectors or
// internal blocks of their own take other code paths when the host's block
// sizes change and round differently, and resonant low filters with a
// large boost lift that rounding noise to some -85 dB (LSP's parametric
// equaliser does); a real fault (a click at a block boundary, parameters
// that glide per call, state lost between calls) is far louder.
constexpr int kBitExactLevel = 10;
constexpr double kComparisonToleranceDb = -70.0;

// What a level makes stricter in checks that lower levels run already.
struct Tightening {
  int level;
  const char* checks;
  const char* what;
};
const std::vector<Tightening>& tightenings();

}  // namespace kqfx::command::validate
