// Build time: writes the LV2 bundle's descriptions and the adapter's port
// tables from what each built VST 2 plug-in says about itself.
//
//   kqfx_lv2_bundle BUNDLE_DIR SOURCE_DIR VERSION LICENSE_URI NAME=PLUGIN.so...
//
// writes BUNDLE_DIR/manifest.ttl, NAME.ttl and NAME-presets.ttl, and
// SOURCE_DIR/NAMEPorts.cpp (the table one plug-in's adapter is built
// with) and AllEffectPorts.cpp (every table, for the tests).

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "../host/command/DemoPresets.h"
#include "EffectCatalogue.h"
#include "PortLaw.h"
#include "ParameterScan.h"
#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::lv2 {
namespace {

constexpr const char* kUriBase = "urn:kqfx:";
constexpr const char* kProjectUri = "urn:kqfx:project";

struct Preset {
  std::string uri;
  std::string label;
  std::vector<double> values;  // one per parameter
};

struct Effect {
  std::string name;
  std::string uri;
  const EffectFacts* facts;
  std::vector<ScannedPort> ports;
  std::vector<Preset> presets;
};

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A Turtle number literal that reads back as the same double.
std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", value);
  std::string out = text;
  if (out.find_first_of(".en") == std::string::npos) out += ".0";
  return out;
}

std::string unitOf(const std::string& label) {
  static const std::vector<std::pair<std::string, std::string>> known = {
      {"dB", "units:db"}, {"BPM", "units:bpm"}, {"Hz", "units:hz"},  {"%", "units:pc"},
      {"Beats", "units:beat"}, {"ms", "units:ms"}, {"s", "units:s"}};
  for (const auto& [text, uri] : known) {
    if (label == text) return uri;
  }
  return "[ a units:Unit ; rdfs:label " + quoted(label) + " ; units:symbol " + quoted(label) +
         " ; units:render " + quoted("%f " + label) + " ]";
}

const char* const kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string pluginTurtle(const Effect& effect, int minorVersion, int microVersion,
                         const std::string& license) {
  std::ostringstream ttl;
  ttl << kPrefixes;
  ttl << "<" << kProjectUri << ">\n  a doap:Project ;\n  doap:name \"kqfx\" .\n\n";
  ttl << "<" << effect.uri << ">\n  a lv2:Plugin";
  for (const char* c : effect.facts->classes) ttl << ", lv2:" << c;
  ttl << " ;\n  doap:name " << quoted(effect.name) << " ;\n  lv2:project <" << kProjectUri
      << "> ;\n  doap:license <" << license << "> ;\n  lv2:minorVersion " << minorVersion
      << " ;\n  lv2:microVersion " << microVersion << " ;\n  rdfs:comment "
      << quoted(effect.facts->description) << " ;\n  lv2:optionalFeature lv2:hardRTCapable ;\n";
  const char* audio[kAudioPortCount][3] = {{"InputPort", "in_l", "In L"},
                                           {"InputPort", "in_r", "In R"},
                                           {"OutputPort", "out_l", "Out L"},
                                           {"OutputPort", "out_r", "Out R"}};
  ttl << "  lv2:port ";
  for (uint32_t i = 0; i < kAudioPortCount; ++i) {
    ttl << "[\n    a lv2:AudioPort, lv2:" << audio[i][0] << " ;\n    lv2:index " << i
        << " ;\n    lv2:symbol \"" << audio[i][1] << "\" ;\n    lv2:name \"" << audio[i][2]
        << "\"\n  ], ";
  }
  for (std::size_t p = 0; p < effect.ports.size(); ++p) {
    const ScannedPort& port = effect.ports[p];
    ttl << "[\n    a lv2:ControlPort, lv2:InputPort ;\n    lv2:index " << kAudioPortCount + p
        << " ;\n    lv2:symbol " << quoted(port.symbol) << " ;\n    lv2:name " << quoted(port.name)
        << " ;\n    lv2:default " << number(port.defaultValue) << " ;\n    lv2:minimum "
        << number(port.minimum) << " ;\n    lv2:maximum " << number(port.maximum) << " ;\n";
    if (!port.named && !port.unit.empty()) ttl << "    units:unit " << unitOf(port.unit) << " ;\n";
    if (port.integer) ttl << "    lv2:portProperty lv2:integer ;\n";
    if (port.enumeration) ttl << "    lv2:portProperty lv2:enumeration ;\n";
    for (const ScalePoint& point : port.scalePoints) {
      ttl << "    lv2:scalePoint [ rdfs:label " << quoted(point.label) << " ; rdf:value "
          << number(point.value) << " ] ;\n";
    }
    ttl << "  ]" << (p + 1 < effect.ports.size() ? ", " : " .\n");
  }
  return ttl.str();
}

std::string presetTurtle(const Effect& effect) {
  std::ostringstream ttl;
  ttl << kPrefixes;
  for (const Preset& preset : effect.presets) {
    ttl << "<" << preset.uri << ">\n  a pset:Preset ;\n  lv2:appliesTo <" << effect.uri
        << "> ;\n  rdfs:label " << quoted(preset.label) << " ;\n  lv2:port ";
    for (std::size_t p = 0; p < effect.ports.size(); ++p) {
      ttl << "[ lv2:symbol " << quoted(effect.ports[p].symbol) << " ; pset:value "
          << number(preset.values[p]) << " ]" << (p + 1 < effect.ports.size() ? ", " : " .\n\n");
    }
  }
  return ttl.str();
}

std::string manifestTurtle(const std::vector<Effect>& effects) {
  std::ostringstream ttl;
  ttl << kPrefixes;
  for (const Effect& effect : effects) {
    ttl << "<" << effect.uri << ">\n  a lv2:Plugin ;\n  lv2:binary <" << effect.name
        << ".so> ;\n  rdfs:seeAlso <" << effect.name << ".ttl> .\n\n";
    for (const Preset& preset : effect.presets) {
      ttl << "<" << preset.uri << ">\n  a pset:Preset ;\n  lv2:appliesTo <" << effect.uri
          << "> ;\n  rdfs:seeAlso <" << effect.name << "-presets.ttl> .\n\n";
    }
  }
  return ttl.str();
}

std::string floatLiteral(float value) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
  return std::string(text) + "f";
}

std::string portsSource(const Effect& effect) {
  std::ostringstream cpp;
  cpp << "// Written by kqfx_lv2_bundle from the texts of " << effect.name
      << ": do not edit.\n#include \"PortLaw.h\"\n\nnamespace kqfx::lv2 {\nnamespace {\n";
  for (std::size_t p = 0; p < effect.ports.size(); ++p) {
    const ScannedPort& port = effect.ports[p];
    if (!port.stepped) continue;
    cpp << "// " << port.name << "\nconstexpr PortStep kSteps" << p << "[] = {\n";
    for (const ScannedStep& step : port.steps) {
      cpp << "    {" << floatLiteral(static_cast<float>(step.shown)) << ", "
          << floatLiteral(step.normalized) << "},\n";
    }
    cpp << "};\n";
  }
  cpp << "constexpr PortLaw kLaws[] = {\n";
  for (std::size_t p = 0; p < effect.ports.size(); ++p) {
    const ScannedPort& port = effect.ports[p];
    if (port.stepped) {
      cpp << "    {PortShape::stepped, 0.0, 1.0, 0.0, kSteps" << p << ", " << port.steps.size()
          << "},  // " << port.name << "\n";
    } else {
      cpp << "    {PortShape::" << (port.logarithmic ? "logarithmic" : "linear") << ", "
          << number(port.offset) << ", " << number(port.scale) << ", " << number(port.minimum)
          << ", nullptr, 0},  // " << port.name << "\n";
    }
  }
  cpp << "};\n}  // namespace\n\nextern const EffectPorts k" << effect.name << "Ports;\nconst EffectPorts k"
      << effect.name << "Ports = {\"" << effect.name << "\", \"" << effect.uri << "\", "
      << effect.ports.size() << ", kLaws};\n\n}  // namespace kqfx::lv2\n";
  return cpp.str();
}

std::string allPortsSource(const std::vector<Effect>& effects) {
  std::ostringstream cpp;
  cpp << "// Written by kqfx_lv2_bundle: do not edit.\n#include <vector>\n\n#include \"PortLaw.h\"\n\n"
         "namespace kqfx::lv2 {\n\n";
  for (const Effect& effect : effects) cpp << "extern const EffectPorts k" << effect.name << "Ports;\n";
  cpp << "\nconst std::vector<const EffectPorts*>& allEffectPorts() {\n"
         "  static const std::vector<const EffectPorts*> all = {";
  for (std::size_t i = 0; i < effects.size(); ++i) {
    cpp << (i ? ", " : "") << "&k" << effects[i].name << "Ports";
  }
  cpp << "};\n  return all;\n}\n\n}  // namespace kqfx::lv2\n";
  return cpp.str();
}

const command::DemoPreset* demoOf(const std::string& name) {
  for (const command::DemoPreset& demo : command::demoPresets()) {
    if (name == demo.plugin) return &demo;
  }
  return nullptr;
}

std::vector<Preset> presetsOf(host::PluginInstance& instance, const Effect& effect) {
  const command::DemoPreset* demo = demoOf(effect.name);
  if (demo == nullptr) return {};
  const auto valuesWith = [&](int32_t choiceIndex, float choice) {
    std::vector<double> values;
    for (std::size_t p = 0; p < effect.ports.size(); ++p) {
      float x = instance.getParameter(static_cast<int32_t>(p));
      for (const command::DemoSetting& setting : demo->settings) {
        if (effect.ports[p].name == setting.parameter) x = setting.value;
      }
      if (static_cast<int32_t>(p) == choiceIndex) x = choice;
      values.push_back(portValueOf(instance, static_cast<int32_t>(p), effect.ports[p], x));
    }
    return values;
  };
  std::vector<Preset> presets;
  const std::string base = effect.uri + ":preset:";
  if (effect.facts->presetPerChoice == nullptr) {
    presets.push_back({base + "demo", effect.facts->demoLabel, valuesWith(-1, 0.0f)});
    return presets;
  }
  for (std::size_t p = 0; p < effect.ports.size(); ++p) {
    if (effect.ports[p].name != effect.facts->presetPerChoice) continue;
    for (std::size_t s = 0; s < effect.ports[p].steps.size(); ++s) {
      const ScannedStep& step = effect.ports[p].steps[s];
      presets.push_back({base + std::to_string(s), step.label,
                         valuesWith(static_cast<int32_t>(p), step.normalized)});
    }
  }
  return presets;
}

Effect scanEffect(const std::string& name, const std::string& path) {
  Effect effect;
  effect.name = name;
  effect.uri = kUriBase + name;
  effect.facts = effectFacts(name);
  if (effect.facts == nullptr) throw std::runtime_error(name + " has no row in plugins/Effects.cmake");
  host::PluginLibrary library(path);
  host::PluginInstance instance(library);
  instance.dispatch(opOpen);
  instance.dispatch(opSetSampleRate, 0, 0, nullptr, 44100.0f);
  if (instance.record().numInputs != 2 || instance.record().numOutputs != 2) {
    throw std::runtime_error(name + " is not a stereo effect");
  }
  if (instance.numParams() > 16) throw std::runtime_error(name + " has more than 16 parameters");
  for (int32_t i = 0; i < instance.numParams(); ++i) effect.ports.push_back(scanParameter(instance, i));
  effect.presets = presetsOf(instance, effect);
  return effect;
}

int run(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: kqfx_lv2_bundle BUNDLE_DIR SOURCE_DIR VERSION LICENSE_URI NAME=PLUGIN.so...\n";
    return 2;
  }
  const std::string bundle = argv[1];
  const std::string sources = argv[2];
  int major = 0;
  int minor = 0;
  int micro = 0;
  if (std::sscanf(argv[3], "%d.%d.%d", &major, &minor, &micro) != 3) {
    throw std::runtime_error(std::string("bad version ") + argv[3]);
  }
  std::vector<Effect> effects;
  for (int i = 5; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) throw std::runtime_error("expected NAME=PLUGIN.so: " + argument);
    effects.push_back(scanEffect(argument.substr(0, equals), argument.substr(equals + 1)));
  }
  for (const Effect& effect : effects) {
    // LV2 minor versions are major * 1000 + minor, so 1.0 stays above 0.x.
    writeFile(bundle + "/" + effect.name + ".ttl",
              pluginTurtle(effect, major * 1000 + minor, micro, argv[4]));
    writeFile(bundle + "/" + effect.name + "-presets.ttl", presetTurtle(effect));
    writeFile(sources + "/" + effect.name + "Ports.cpp", portsSource(effect));
  }
  writeFile(bundle + "/manifest.ttl", manifestTurtle(effects));
  writeFile(sources + "/AllEffectPorts.cpp", allPortsSource(effects));
  return 0;
}

}  // namespace
}  // namespace kqfx::lv2

int main(int argc, char** argv) {
  try {
    return kqfx::lv2::run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "kqfx_lv2_bundle: " << error.what() << "\n";
    return 1;
  }
}
