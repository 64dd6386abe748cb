#pragma once
// The results of `kqfx bench` as a table for people or as JSON.

#include <string>
#include <vector>

#include "BenchRun.h"

namespace kqfx::command {

// The processor's model name, as the system reports it ("unknown" if not).
std::string machineDescription();

std::string benchTable(const std::vector<BenchSubject>& subjects, const BenchSettings& settings);
std::string benchJson(const std::vector<BenchSubject>& subjects, const BenchSettings& settings);

}  // namespace kqfx::command
