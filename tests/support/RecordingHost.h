#pragma once
// A fake host callback that records every call and answers from a table.

#include <cstdint>
#include <map>
#include <vector>

#include "kqfx/framework/AEffect.h"

namespace kqfx::test {

struct HostCall {
  AEffect* effect;
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
};

class RecordingHost {
 public:
  RecordingHost() {
    answers[cbVersion] = 2400;
    current() = this;
  }
  ~RecordingHost() { current() = nullptr; }
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                           void* ptr, float opt) {
    RecordingHost* host = current();
    if (!host) return 0;
    host->calls.push_back({effect, opcode, index, value, ptr, opt});
    auto found = host->answers.find(opcode);
    return found == host->answers.end() ? 0 : found->second;
  }

  std::vector<HostCall> calls;
  std::map<int32_t, intptr_t> answers;

 private:
  static RecordingHost*& current() {
    static RecordingHost* host = nullptr;
    return host;
  }
};

}  // namespace kqfx::test
