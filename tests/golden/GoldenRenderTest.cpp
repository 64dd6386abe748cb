// Every effect's output over the fixed render set stays bit for bit what
// the reference file recorded. Changes meant to leave the sound alone
// (speed-ups above all) must keep this passing unchanged.
//
// To record the reference file anew, for a deliberate change of sound
// only: KQFX_GOLDEN_RECORD=1 golden_tests --gtest_filter='GoldenFile.*'

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "GoldenRender.h"

namespace kqfx::golden {
namespace {

const char* const kReferencePath = KQFX_GOLDEN_FILE;

std::string format(const std::string& name, const Fingerprint& f) {
  std::string line = name;
  char word[32];
  for (std::size_t ch = 0; ch < 2; ++ch) {
    std::snprintf(word, sizeof word, " %016" PRIx64, f.hash[ch]);
    line += word;
  }
  for (std::size_t ch = 0; ch < 2; ++ch) {
    for (uint32_t bits : f.probes[ch]) {
      std::snprintf(word, sizeof word, " %08" PRIx32, bits);
      line += word;
    }
  }
  return line;
}

std::map<std::string, Fingerprint> readReference() {
  std::map<std::string, Fingerprint> reference;
  std::ifstream file(kReferencePath);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name;
    Fingerprint f;
    words >> name >> std::hex >> f.hash[0] >> f.hash[1];
    for (auto& channel : f.probes) {
      for (uint32_t& bits : channel) words >> bits;
    }
    if (words) reference[name] = f;
  }
  return reference;
}

const std::map<std::string, Fingerprint>& reference() {
  static const std::map<std::string, Fingerprint> all = readReference();
  return all;
}

float asFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

class GoldenRender : public ::testing::TestWithParam<Case> {};

TEST_P(GoldenRender, OutputIsUnchanged) {
  const Case& c = GetParam();
  const auto found = reference().find(c.name);
  ASSERT_NE(found, reference().end()) << c.name << " has no reference in " << kReferencePath;
  const Fingerprint& expected = found->second;
  const Fingerprint actual = render(c);
  for (std::size_t ch = 0; ch < 2; ++ch) {
    for (std::size_t p = 0; p < kProbeFrames.size(); ++p) {
      EXPECT_EQ(actual.probes[ch][p], expected.probes[ch][p])
          << "channel " << ch << " frame " << kProbeFrames[p] << ": "
          << asFloat(actual.probes[ch][p]) << " instead of " << asFloat(expected.probes[ch][p]);
    }
    EXPECT_EQ(actual.hash[ch], expected.hash[ch]) << "channel " << ch << " differs somewhere";
  }
}

struct CaseNamePrinter {
  std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRender, ::testing::ValuesIn(allCases()), CaseNamePrinter{});

// The reference file holds exactly the cases above; with
// KQFX_GOLDEN_RECORD set, this writes it afresh instead.
TEST(GoldenFile, ListsEveryCaseOnce) {
  const std::vector<Case> cases = allCases();
  if (std::getenv("KQFX_GOLDEN_RECORD")) {
    std::ofstream file(kReferencePath);
    file << "# The fixed render set: case, hash left, hash right, then the bits of\n"
            "# the probe frames, left then right. Written by golden_tests with\n"
            "# KQFX_GOLDEN_RECORD=1; never rewrite it to make a speed-up pass.\n";
    for (const Case& c : cases) file << format(c.name, render(c)) << "\n";
    ASSERT_TRUE(file.good());
  }
  std::map<std::string, int> names;
  for (const Case& c : cases) ++names[c.name];
  for (const auto& [name, count] : names) EXPECT_EQ(count, 1) << name;
  EXPECT_EQ(reference().size(), names.size());
  for (const auto& [name, f] : reference()) EXPECT_TRUE(names.contains(name)) << name;
}

}  // namespace
}  // namespace kqfx::golden
