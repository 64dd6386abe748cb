#include "BenchReport.h"
#include "BenchRun.h"
#include "Commands.h"
#include "Interruption.h"
#include "PluginChoice.h"
#include "PluginSearch.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runBench(const BenchRequest& request) {
  std::vector<BenchSubject> subjects;
  for (const BenchPlugin& plugin : request.plugins) {
    BenchSubject subject;
    subject.choice = choosePlugin(plugin.name, SearchEnvironment::fromProcess(), request.format);
    subject.plugin = subject.choice->path;
    // The row shows the plug-in's name and its own settings, so that one
    // plug-in benched under several settings stays apart.
    subject.name = subject.choice->name;
    for (const std::string& text : plugin.parameters) subject.name += " " + text;
    for (const std::string& text : request.sharedParameters) {
      subject.parameters.push_back(parseParameterArgument(text, "bench"));
    }
    for (const std::string& text : plugin.parameters) {
      subject.parameters.push_back(parseParameterArgument(text, "bench"));
    }
    subjects.push_back(std::move(subject));
  }
  subjects.push_back(BenchSubject{"(copy floor)", {}, {}, {}, {}, {}});

  BenchSettings settings;
  settings.sampleRate = request.sampleRate;
  settings.blockSize = request.blockSize;
  settings.seconds = request.seconds;
  {
    // A plug-in that crashes or hangs ends kqfx with one clear message.
    InterruptionGuard guard;
    setActivity("benchmarking");
    runBench(subjects, settings);
  }
  InterruptionGuard::endBySignalReceived();
  printOut(request.json ? benchJson(subjects, settings) : benchTable(subjects, settings));
  return 0;
}

}  // namespace kqfx::command
