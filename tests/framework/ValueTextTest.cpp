// Value texts as the host shows them: eight characters, digits truncated.

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <limits>
#include <string>

#include "kqfx/framework/AudioEffect.h"

namespace kqfx {
namespace {

class TextEffect : public AudioEffect {
 public:
  TextEffect() : AudioEffect(nullptr, 1, 0) {}
  std::string floatText(float v) { return write([&](char* t) { float2string(v, t); }); }
  std::string longText(int32_t v) { return write([&](char* t) { long2string(v, t); }); }
  std::string dbText(float v) { return write([&](char* t) { dB2string(v, t); }); }
  std::string hzText(float v) { return write([&](char* t) { Hz2string(v, t); }); }
  std::string msText(float v) { return write([&](char* t) { ms2string(v, t); }); }

 private:
  template <class F>
  std::string write(F f) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    f(buffer);
    EXPECT_NE(std::memchr(buffer, '\0', 9), nullptr) << "text not terminated within 9 bytes";
    return std::string(buffer);
  }
};

TEST(Float2String, WritesEightCharactersWithTruncatedDigits) {
  TextEffect e;
  EXPECT_EQ(e.floatText(0.5f), "0.500000");
  EXPECT_EQ(e.floatText(-1.5f), "-1.50000");
  EXPECT_EQ(e.floatText(123.4567f), "123.4567");
  EXPECT_EQ(e.floatText(20000.0f), "20000.00");
  EXPECT_EQ(e.floatText(1234567.0f), "1234567.");
  EXPECT_EQ(e.floatText(0.0f), "0.000000");
  EXPECT_EQ(e.floatText(0.05f), "0.050000");
  EXPECT_EQ(e.floatText(-0.25f), "-0.25000");
  EXPECT_EQ(e.floatText(1e-9f), "0.000000");
  EXPECT_EQ(e.floatText(0.7f), "0.699999");
  EXPECT_EQ(e.floatText(-12.0f), "-12.0000");
  EXPECT_EQ(e.floatText(12.0f), "12.00000");
}

TEST(Float2String, OutOfRangeShowsTheOverflowText) {
  TextEffect e;
  EXPECT_EQ(e.floatText(100000000.0f), " Huge!  ");
  EXPECT_EQ(e.floatText(-10000000.0f), " Huge!  ");
  EXPECT_EQ(e.floatText(99999999.0f), " Huge!  ");  // rounds to 1e8 as a float
  EXPECT_EQ(e.floatText(std::numeric_limits<float>::infinity()), " Huge!  ");
  EXPECT_EQ(e.floatText(-std::numeric_limits<float>::infinity()), " Huge!  ");
}

TEST(Float2String, EightDigitIntegersKeepEveryDigit) {
  TextEffect e;
  EXPECT_EQ(e.floatText(12345678.0f), "12345678");
  EXPECT_EQ(e.floatText(10000000.0f), "10000000");
  EXPECT_EQ(e.floatText(-1234567.0f), "-1234567");
  EXPECT_EQ(e.floatText(-9999999.0f), "-9999999");
  EXPECT_EQ(e.floatText(-1000000.0f), "-1000000");
  EXPECT_EQ(e.floatText(-999999.5f), "-999999.");
}

TEST(Float2String, NotANumberHasItsOwnText) {
  TextEffect e;
  const std::string text = e.floatText(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(text, "  NaN   ");
  EXPECT_EQ(text.size(), 8u);
  EXPECT_EQ(e.dbText(std::numeric_limits<float>::quiet_NaN()), "  NaN   ");
}

TEST(Float2String, IgnoresTheProcessLocale) {
  TextEffect e;
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    EXPECT_EQ(e.floatText(-1.5f), "-1.50000");
    EXPECT_EQ(e.longText(1234567), "1234567");
  }
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(e.floatText(-1.5f), "-1.50000");
}

TEST(Long2String, RightAlignsInSevenAndCutsAtEight) {
  TextEffect e;
  EXPECT_EQ(e.longText(5), "      5");
  EXPECT_EQ(e.longText(-5), "     -5");
  EXPECT_EQ(e.longText(99999999), "99999999");
  EXPECT_EQ(e.longText(12345678), "12345678");
  EXPECT_EQ(e.longText(100000000), " Huge!  ");
  EXPECT_EQ(e.longText(-123456789), "-1234567");
}

TEST(DecibelText, ShowsGainFactorsInDecibels) {
  TextEffect e;
  EXPECT_EQ(e.dbText(0.0f), "  -oo   ");
  EXPECT_EQ(e.dbText(-1.0f), "  -oo   ");
  EXPECT_EQ(e.dbText(1.0f), "0.000000");
  EXPECT_EQ(e.dbText(10.0f), "20.00000");
  EXPECT_EQ(e.dbText(0.5f), "-6.02059");
}

TEST(PeriodText, FrequencyAndMillisecondsFollowTheSampleRate) {
  TextEffect e;
  EXPECT_EQ(e.hzText(0.0f), "0.000000");
  EXPECT_EQ(e.hzText(441.0f), "100.0000");
  EXPECT_EQ(e.msText(44100.0f), "1000.000");
  e.setSampleRate(48000.0f);
  EXPECT_EQ(e.hzText(480.0f), "100.0000");
  e.setSampleRate(0.0f);
  EXPECT_EQ(e.msText(1.0f), " Huge!  ");
}

// Every text, the fixed ones included, fits the host's 8 characters.
TEST(ValueTexts, NeverExceedEightCharacters) {
  TextEffect e;
  const float values[] = {0.0f, 1e-30f, 0.1f, 0.7f, 1.0f, 9.99999f, 99.5f, 123456.7f, 9999999.0f,
                          12345678.0f, 99999990.0f, -0.001f, -9.5f, -999999.9f, -9999999.0f,
                          -1e20f, 1e20f};
  for (float v : values) {
    EXPECT_LE(e.floatText(v).size(), 8u) << v;
    EXPECT_LE(e.dbText(v).size(), 8u) << v;
    EXPECT_LE(e.hzText(v).size(), 8u) << v;
    EXPECT_LE(e.msText(v).size(), 8u) << v;
  }
  for (int32_t v : {0, 1, -1, 99999999, INT32_MAX, INT32_MIN, -9999999}) {
    EXPECT_LE(e.longText(v).size(), 8u) << v;
  }
}

}  // namespace
}  // namespace kqfx
