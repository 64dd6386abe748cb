// kqfx: inspect VST 2 plug-ins and render audio through them.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "FailureReport.h"
#include "HelpText.h"
#include "StandardOutput.h"
#include "Supervision.h"

#ifndef KQFX_VERSION
#define KQFX_VERSION "unknown"
#endif

namespace {

using namespace kqfx::command;

int run(const Request& request) {
  if (const auto* help = std::get_if<HelpRequest>(&request)) {
    printOut(helpText(help->topic));
    return 0;
  }
  if (std::holds_alternative<VersionRequest>(request)) {
    printOut(std::string("kqfx ") + KQFX_VERSION + "\n");
    return 0;
  }
  // list and validate host each plug-in in child processes of their own,
  // and so does a batch render, one per file; the other subcommands run
  // whole in one, so that no plug-in can take kqfx down or keep it alive.
  if (const auto* list = std::get_if<ListRequest>(&request)) return runList(*list);
  if (const auto* validate = std::get_if<ValidateRequest>(&request)) return runValidate(*validate);
  if (const auto* render = std::get_if<RenderRequest>(&request); render && render->outputDirectory) {
    return runRenderBatch(*render);
  }
  return runSupervised([&request] {
    if (const auto* info = std::get_if<InfoRequest>(&request)) return runInfo(*info);
    if (const auto* render = std::get_if<RenderRequest>(&request)) return runRender(*render);
    if (const auto* bench = std::get_if<BenchRequest>(&request)) return runBench(*bench);
    if (const auto* analyze = std::get_if<AnalyzeRequest>(&request)) return runAnalyze(*analyze);
    return runDemo(std::get<DemoRequest>(request));
  });
}

}  // namespace

int main(int argc, char** argv) {
  protectStandardOutput();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return runReportingFailures([&arguments] { return run(parseCommandLine(arguments)); });
}
