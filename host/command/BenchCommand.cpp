#include "BenchReport.h"
#include "BenchRun.h"
#include "Commands.h"
#include "PluginSearch.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runBench(const BenchRequest& request) {
  std::vector<BenchSubject> subjects;
  for (const BenchPlugin& plugin : request.plugins) {
    BenchSubject subject;
    subject.name = plugin.name;
    subject.plugin = resolvePlugin(plugin.name, SearchEnvironment::fromProcess());
    for (const std::string& text : request.sharedParameters) {
      subject.parameters.push_back(parseParameterArgument(text));
    }
    for (const std::string& text : plugin.parameters) {
      subject.parameters.push_back(parseParameterArgument(text));
    }
    subjects.push_back(std::move(subject));
  }
  subjects.push_back(BenchSubject{"(copy floor)", {}, {}, {}, {}});

  BenchSettings settings;
  settings.sampleRate = request.sampleRate;
  settings.blockSize = request.blockSize;
  settings.seconds = request.seconds;
  runBench(subjects, settings);
  printOut(request.json ? benchJson(subjects, settings) : benchTable(subjects, settings));
  return 0;
}

}  // namespace kqfx::command
