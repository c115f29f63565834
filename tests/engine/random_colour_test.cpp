// The generator's sequence, the colour conversions and the palettes.
#include <gtest/gtest.h>

#include "engine/colour.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "tests/support/test_host.h"

class RandomColourTest : public HeadlessTest {};

TEST_F(RandomColourTest, GeneratorRepeatsItsKnownSequence) {
  prismora::srand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(prismora::rand(), value);
  prismora::srand(1);
  EXPECT_EQ(prismora::rand(), 41) << "reseeding must restart the sequence";
  prismora::srand(0);
  EXPECT_EQ(prismora::rand(), 38);
}

TEST_F(RandomColourTest, FractionStaysBelowOne) {
  prismora::srand(12345);
  for (int i = 0; i < 5000; ++i) {
    float u = RandomFraction();
    ASSERT_GE(u, 0.0f);
    ASSERT_LE(u, 0.999f);
  }
}

TEST_F(RandomColourTest, HslToRgbKnownColours) {
  struct Case {
    float h, s, l;
    Rgb rgb;
  } cases[] = {
      {0.0f, 1.0f, 0.5f, {255, 0, 0}},
      {0.33333334f, 1.0f, 0.5f, {0, 255, 0}},
      {0.6666667f, 1.0f, 0.5f, {0, 0, 255}},
      // Blue sits at 6t = 0.99999996 with the single-precision thirds, just
      // below the turn, and truncates to 254.
      {0.5f, 1.0f, 0.5f, {0, 255, 254}},
      {0.25f, 0.0f, 0.5f, {127, 127, 127}},  // grey truncates 127.5
      {0.0f, 1.0f, 1.0f, {255, 255, 255}},
      {0.0f, 0.5f, 0.25f, {95, 31, 31}},
  };
  for (const Case& c : cases) {
    Rgb got = HslToRgb(c.h, c.s, c.l);
    EXPECT_EQ(got.red, c.rgb.red) << c.h << " " << c.s << " " << c.l;
    EXPECT_EQ(got.green, c.rgb.green) << c.h << " " << c.s << " " << c.l;
    EXPECT_EQ(got.blue, c.rgb.blue) << c.h << " " << c.s << " " << c.l;
  }
}

TEST_F(RandomColourTest, RgbToHslRoundTripsWithinTruncation) {
  prismora::srand(7);
  for (int i = 0; i < 2000; ++i) {
    Rgb in{prismora::rand() % 256, prismora::rand() % 256, prismora::rand() % 256};
    Hsl hsl = RgbToHsl(in);
    ASSERT_GE(hsl.hue, 0.0f);
    ASSERT_LE(hsl.hue, 1.0f);
    Rgb out = HslToRgb(hsl.hue, hsl.saturation, hsl.lightness);
    // Each conversion back truncates, so a channel may come back one lower.
    EXPECT_NEAR(out.red, in.red, 1) << in.red << "," << in.green << "," << in.blue;
    EXPECT_NEAR(out.green, in.green, 1) << in.red << "," << in.green << "," << in.blue;
    EXPECT_NEAR(out.blue, in.blue, 1) << in.red << "," << in.green << "," << in.blue;
  }
}

TEST_F(RandomColourTest, RgbToHslKnownValues) {
  Hsl red = RgbToHsl(Rgb{255, 0, 0});
  EXPECT_FLOAT_EQ(red.hue, 0.0f);
  EXPECT_FLOAT_EQ(red.saturation, 1.0f);
  EXPECT_FLOAT_EQ(red.lightness, 0.5f);
  Hsl blue = RgbToHsl(Rgb{0, 0, 255});
  EXPECT_NEAR(blue.hue, 2.0f / 3.0f, 1e-6);
  Hsl grey = RgbToHsl(Rgb{51, 51, 51});
  EXPECT_EQ(grey.hue, 0.0f);
  EXPECT_EQ(grey.saturation, 0.0f);
  EXPECT_NEAR(grey.lightness, 0.2f, 1e-6);
  Rgb complement = ComplementaryColour(Rgb{255, 0, 0});
  EXPECT_EQ(complement.red, 0);
  EXPECT_EQ(complement.green, 255);
  EXPECT_EQ(complement.blue, 254);
}

// Worked by hand from the ramp rules: index → expected value.
TEST_F(RandomColourTest, FixedPaletteRamps) {
  BuildPalettes();
  const auto& p0 = EngineState.palette[0];
  const auto& p1 = EngineState.palette[1];
  for (int i = 0; i <= 96; ++i) ASSERT_EQ(p0[i][0], 255) << i;
  EXPECT_EQ(p0[97][0], 251);
  EXPECT_EQ(p0[98][0], 247);
  EXPECT_EQ(p0[127][0], 131);
  EXPECT_EQ(p0[128][0], 128);  // 127 falls to the floor
  EXPECT_EQ(p0[129][0], 136);
  EXPECT_EQ(p0[144][0], 255);  // 128 + 8 * 16 = 256 capped
  EXPECT_EQ(p0[145][0], 251);  // back at 255 past the fall index: falls again
  EXPECT_EQ(p0[146][0], 255);
  // Green: falls from 33 to 0, climbs after 144.
  EXPECT_EQ(p0[32][1], 255);
  EXPECT_EQ(p0[33][1], 251);
  EXPECT_EQ(p0[96][1], 0);
  EXPECT_EQ(p0[144][1], 0);
  EXPECT_EQ(p0[145][1], 8);
  // Blue falls from index 1.
  EXPECT_EQ(p0[0][2], 255);
  EXPECT_EQ(p0[1][2], 251);
  EXPECT_EQ(p0[64][2], 0);
  EXPECT_EQ(p0[161][2], 8);
  // Palette 1 red falls by 8 from index 9.
  EXPECT_EQ(p1[8][0], 255);
  EXPECT_EQ(p1[9][0], 247);
  EXPECT_EQ(p1[40][0], 0);
  EXPECT_EQ(p1[161][0], 8);
  // Palette 1 green by 6 from 33: 255 - 6 * 42 = 3, then 0.
  EXPECT_EQ(p1[74][1], 3);
  EXPECT_EQ(p1[75][1], 0);
  // Palette 1 blue is palette 0 red.
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p1[i][2], p0[i][0]) << i;
}

TEST_F(RandomColourTest, RandomPaletteWavesBetween63And255) {
  prismora::srand(99);
  BuildRandomPalette();
  int seenLow = 255, seenHigh = 0;
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) {
      int v = EngineState.palette[2][i][c];
      ASSERT_GE(v, 63);
      ASSERT_LE(v, 255);
      seenLow = std::min(seenLow, v);
      seenHigh = std::max(seenHigh, v);
    }
  EXPECT_LT(seenLow, 70) << "a full wave reaches near its bottom";
  EXPECT_GT(seenHigh, 248) << "and near its top";
}
