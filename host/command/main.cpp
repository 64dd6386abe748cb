// kqfx: inspect VST 2 plug-ins and render audio through them.
#include <new>
#include <string>
#include <vector>

#include "CommandErrors.h"
#include "CommandLine.h"
#include "Commands.h"
#include "HelpText.h"
#include "StandardOutput.h"
#include "kqfx/host/HostError.h"

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
  if (const auto* list = std::get_if<ListRequest>(&request)) return runList(*list);
  if (const auto* info = std::get_if<InfoRequest>(&request)) return runInfo(*info);
  if (const auto* render = std::get_if<RenderRequest>(&request)) {
    return render->outputDirectory ? runRenderBatch(*render) : runRender(*render);
  }
  if (const auto* bench = std::get_if<BenchRequest>(&request)) return runBench(*bench);
  if (const auto* validate = std::get_if<ValidateRequest>(&request)) return runValidate(*validate);
  if (const auto* analyze = std::get_if<AnalyzeRequest>(&request)) return runAnalyze(*analyze);
  return runDemo(std::get<DemoRequest>(request));
}

}  // namespace

int main(int argc, char** argv) {
  protectStandardOutput();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    return run(parseCommandLine(arguments));
  } catch (const UsageError& error) {
    const std::string topic = error.topic();
    printError(std::string("kqfx: ") + error.what() + "\n" + usageLine(topic) + "\nRun 'kqfx " +
               (topic.empty() ? std::string("--help") : topic + " --help") +
               "' for more.\n");
    return 2;
  } catch (const CommandFailure& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  } catch (const kqfx::host::HostError& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  } catch (const std::bad_alloc&) {
    printError("kqfx: out of memory\n");
  } catch (const std::exception& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  }
  return 1;
}
