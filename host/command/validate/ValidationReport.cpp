#include "ValidationReport.h"

#include <algorithm>

#include "JsonText.h"
#include "PrintableText.h"

namespace kqfx::command::validate {
namespace {

const char* verdictWord(Verdict verdict) {
  switch (verdict) {
    case Verdict::pass: return "pass";
    case Verdict::fail: return "fail";
    case Verdict::notApplicable: return "n/a";
    default: return "skip";
  }
}

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return text;
}

// The most lines of a passing or skipped check's output shown; a failing
// check's is shown whole (as far as it was kept).
constexpr int kOutputLinesOfPasses = 10;

std::string indentedOutput(const std::string& output, bool whole) {
  std::string text = printableLines(output);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::string shown;
  int lines = 0;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (!whole && lines == kOutputLinesOfPasses) {
      int more = 0;
      for (std::size_t i = at; i < text.size(); ++i) more += text[i] == '\n';
      shown += "      | [" + std::to_string(more + 1) + " more lines]\n";
      break;
    }
    shown += "      | " + text.substr(at, end - at) + "\n";
    ++lines;
    at = end + 1;
  }
  return shown;
}

}  // namespace

int ValidationReport::count(Verdict verdict) const {
  return static_cast<int>(std::count_if(results.begin(), results.end(), [&](const CheckResult& r) {
    return r.outcome.verdict == verdict;
  }));
}

std::string checkLine(const CheckResult& result) {
  std::string name = result.name;
  name.resize(std::max<std::size_t>(name.size(), 15), ' ');
  const bool failed = result.outcome.verdict == Verdict::fail;
  std::string word = upper(verdictWord(result.outcome.verdict));
  word.resize(std::max<std::size_t>(word.size(), 4), ' ');
  std::string line = word + "  " + name + " " + printableLine(result.outcome.seen) + "\n";
  if (failed && !result.trail.empty()) line += "      leading to it: " + result.trail + "\n";
  if (failed && !result.replay.empty()) line += "      replay: " + printableLine(result.replay) + "\n";
  if (!result.output.empty()) {
    line += "      the plug-in printed:\n" + indentedOutput(result.output, failed);
  }
  return line;
}

std::string summaryLine(const ValidationReport& report) {
  int total = static_cast<int>(report.results.size());
  const int failed = report.count(Verdict::fail);
  const int skipped = report.count(Verdict::skip);
  const int absent = report.count(Verdict::notApplicable);
  total -= absent;
  std::string line = printableLine(report.plugin) + ": ";
  if (failed == 0) {
    line += skipped == 0 ? "all " + std::to_string(total) + " checks passed"
                         : std::to_string(total - skipped) + " of " + std::to_string(total) +
                               " checks passed, " + std::to_string(skipped) + " skipped";
  } else {
    line += std::to_string(failed) + " of " + std::to_string(total) + " checks FAILED (";
    bool first = true;
    for (const CheckResult& result : report.results) {
      if (result.outcome.verdict != Verdict::fail) continue;
      line += (first ? "" : ", ") + result.name;
      first = false;
    }
    line += ")";
    if (skipped) line += ", " + std::to_string(skipped) + " skipped";
  }
  if (absent) {
    line += "; " + std::to_string(absent) + (absent == 1 ? " does" : " do") + " not apply to " +
            formatTitle(report.format);
  }
  return line + " (level " + std::to_string(report.settings.level) + ", seed " +
         std::to_string(report.settings.seed) + ")\n";
}

std::string reportJson(const ValidationReport& report) {
  std::string json = "{\n";
  json += "  \"plugin\": " + jsonString(report.plugin) + ",\n";
  json += "  \"path\": " + jsonString(report.path) + ",\n";
  json += "  \"format\": \"" + std::string(host::formatName(report.format)) + "\",\n";
  json += "  \"level\": " + std::to_string(report.settings.level) + ",\n";
  json += "  \"seed\": " + std::to_string(report.settings.seed) + ",\n";
  json += "  \"passed\": " + std::string(report.allPassed() ? "true" : "false") + ",\n";
  json += "  \"checks\": [";
  for (std::size_t i = 0; i < report.results.size(); ++i) {
    const CheckResult& result = report.results[i];
    json += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": " + jsonString(result.name) +
            ", \"result\": \"" + verdictWord(result.outcome.verdict) +
            "\", \"seen\": " + jsonString(result.outcome.seen);
    if (result.outcome.verdict == Verdict::fail) {
      json += ", \"trail\": " + jsonString(result.trail) +
              ", \"replay\": " + jsonString(result.replay);
    }
    if (!result.output.empty()) json += ", \"output\": " + jsonString(result.output);
    json += "}";
  }
  json += "\n  ]\n}\n";
  return json;
}

}  // namespace kqfx::command::validate
