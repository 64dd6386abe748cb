// kqfx validate on LV2 plug-ins: ours pass, the checks LV2 has no use for
// say so, deliberately broken LV2 plug-ins are caught, and control inputs
// get the values a host would write. The LV2 search path is a folder of
// the test's own: no system folder is read.
#include <gtest/gtest.h>

#include "CommandRunner.h"
#include "SoundFiles.h"
#include "validate/Lv2Rig.h"

namespace kqfx::test {
namespace {

const std::map<std::string, std::string> kHermetic = {{"LV2_PATH", KQFX_BROKEN_LV2_DIR}};

std::string lineStarting(const std::string& out, const std::string& start) {
  const std::size_t at = out.find("\n" + start);
  if (at == std::string::npos) return out.rfind(start, 0) == 0 ? out.substr(0, out.find('\n')) : "";
  return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
}

TEST(ValidateLv2, OursPassAndWhatDoesNotApplyIsSaid) {
  const CommandResult result = runKqfx(
      {"validate", std::string(KQFX_LV2_DIR) + "/kqfx.lv2/Quistrel.so", "--level", "5", "--seed", "7"},
      kHermetic);
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("Quistrel: all 12 checks passed; 2 do not apply to LV2 (level 5, seed 7)\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(lineStarting(result.out, "N/A   threads"),
            "N/A   threads         does not apply to LV2: LV2 puts connect_port and run in one "
            "threading class: hosts write control inputs on the thread that runs the plug-in, never "
            "beside it");
  EXPECT_EQ(lineStarting(result.out, "PASS  connections"),
            "PASS  connections     1 s in runs of 256 frames, every other run with the audio ports and "
            "control inputs connected to other buffers (holding the same): output identical");
}

TEST(ValidateLv2, BrokenPluginsAreCaughtByTheirChecks) {
  // A relative LV2_PATH, as users write it, too.
  const CommandResult kept = runKqfx(
      {"validate", "urn:kqfx-test:KeepsBuffers", "--level", "1", "--check", "connections"},
      {{"LV2_PATH", "broken-lv2"}}, std::string(KQFX_BROKEN_LV2_DIR) + "/..");
  EXPECT_EQ(kept.status, 1) << kept.out;
  EXPECT_EQ(lineStarting(kept.out, "FAIL  connections").rfind(
                "FAIL  connections     0.2 s in runs of 256 frames, every other run with the audio "
                "ports and control inputs connected to other buffers (holding the same): output "
                "differs by up to ",
                0),
            0u)
      << kept.out;
  EXPECT_NE(kept.out.find("connect_port 4, run 256 frames"), std::string::npos) << kept.out;

  const CommandResult allocates = runKqfx(
      {"validate", "urn:kqfx-test:AllocatesInRun", "--level", "1", "--check", "real-time"}, kHermetic);
  EXPECT_EQ(allocates.status, 1) << allocates.out;
  EXPECT_EQ(lineStarting(allocates.out, "FAIL  real-time"),
            "FAIL  real-time       4411 allocations and 4411 frees inside process calls (blocks of 1)")
      << allocates.out;
}

// A plug-in whose output differs between renders only now and then is not
// failed on the one render that differed: the connections and in-place
// checks render the differing way a second time and, when the two differ,
// say they could not compare.
TEST(ValidateLv2, ARenderThatDiffersOnlyOnceIsNotTakenForABufferFault) {
  // One check on a fresh instance count; its verdict line.
  const auto verdict = [](const std::string& check) {
    ScratchFolder scratch;
    const CommandResult result =
        runKqfx({"validate", "urn:kqfx-test:Unsteady", "--level", "1", "--check", check},
                {{"LV2_PATH", KQFX_BROKEN_LV2_DIR}, {"KQFX_TEST_INSTANCE_COUNT", scratch / "count"}});
    EXPECT_EQ(result.status, 0) << result.out;
    return lineStarting(result.out, "SKIP  " + check);
  };
  EXPECT_EQ(verdict("connections"),
            "SKIP  connections     0.2 s in runs of 256 frames, every other run with the audio ports "
            "and control inputs connected to other buffers (holding the same): output finite; not "
            "compared, as two renders with the ports moved differ by up to -9.5 dB relative to the "
            "signal's peak, from frame 0");
  EXPECT_EQ(verdict("in-place"),
            "SKIP  in-place        in-place output finite; not compared, as two renders in place "
            "differ by up to -9.5 dB relative to the signal's peak, from frame 0");
}

// A port declared costly to change is set, as a host sets it, but not
// moved while audio runs, and one declared to take only values in its
// range gets only those: the plug-in's rebuild on a change, and its
// failure out of range, are no faults; the checks say what they spared.
TEST(ValidateLv2, PortsAreDrivenAsTheirDescriptionsAllow) {
  const CommandResult result =
      runKqfx({"validate", "urn:kqfx-test:ExpensiveSize", "--level", "1", "--check", "automation",
               "--check", "real-time", "--check", "parameter-fuzz"},
              kHermetic);
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_EQ(lineStarting(result.out, "PASS  automation"),
            "PASS  automation      all 1 automatable parameters moved before each of 1378 process "
            "calls of 32 frames: output finite; 1 declared costly to change or not for automation "
            "left standing")
      << result.out;
  EXPECT_EQ(lineStarting(result.out, "PASS  real-time").rfind("PASS  real-time       no allocation", 0),
            0u)
      << result.out;
  EXPECT_EQ(lineStarting(result.out, "PASS  parameter-fuzz"),
            "PASS  parameter-fuzz  6 values at the edges of 0..1 (-0, subnormal, -1e-7, just above 1) "
            "written to every parameter 1 times: no crash; finite output a second after values in "
            "0..1; 1 declared to take only values in their range got them clamped there, as hosts do")
      << result.out;
}

TEST(ValidateLv2, PositionsBecomeValuesAHostWouldWrite) {
  using command::validate::portValueAt;
  host::ParameterInfo port;
  port.minimum = -10.0f;
  port.maximum = 30.0f;
  EXPECT_EQ(portValueAt(port, 0.25f), 0.0f);
  EXPECT_EQ(portValueAt(port, 1.5f), 50.0f);  // past the range as far
  port.integer = true;
  EXPECT_EQ(portValueAt(port, 0.3f), 2.0f);
  port.toggled = true;
  EXPECT_EQ(portValueAt(port, 0.49f), -10.0f);
  EXPECT_EQ(portValueAt(port, 0.5f), 30.0f);
  port = {};
  port.enumeration = true;
  port.minimum = 0.0f;
  port.maximum = 5.0f;
  port.scalePoints = {{0.0f, "a"}, {2.0f, "b"}, {5.0f, "c"}};
  EXPECT_EQ(portValueAt(port, 0.5f), 2.0f);
  EXPECT_EQ(portValueAt(port, 1.0f), 5.0f);
  // No range stated: one unit up from the default.
  port = {};
  port.minimum = -std::numeric_limits<float>::infinity();
  port.maximum = std::numeric_limits<float>::infinity();
  port.defaultValue = 4.0f;
  EXPECT_EQ(portValueAt(port, 0.5f), 4.5f);
  EXPECT_TRUE(std::isnan(portValueAt(port, std::numeric_limits<float>::quiet_NaN())));
}

}  // namespace
}  // namespace kqfx::test
