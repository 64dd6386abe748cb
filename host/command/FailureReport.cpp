#include "FailureReport.h"

#include <new>
#include <string>

#include "CommandErrors.h"
#include "HelpText.h"
#include "StandardOutput.h"
#include "kqfx/host/HostError.h"

namespace kqfx::command {

int runReportingFailures(const std::function<int()>& command) {
  try {
    return command();
  } catch (const UsageError& error) {
    const std::string topic = error.topic();
    printError(std::string("kqfx: ") + error.what() + "\n" + usageLine(topic) + "\nRun 'kqfx " +
               (topic.empty() ? std::string("--help") : topic + " --help") + "' for more.\n");
    return 2;
  } catch (const CommandFailure& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  } catch (const host::HostError& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  } catch (const std::bad_alloc&) {
    printError("kqfx: out of memory\n");
  } catch (const std::exception& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  }
  return 1;
}

}  // namespace kqfx::command
