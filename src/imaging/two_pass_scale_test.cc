#include "imaging/two_pass_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tavirelle {

namespace {

using Scaler = C2PassScale<CHammingFilter>;
using Pixels = std::vector<uint8_t>;

// The resampler written the slow, obvious way: the kernel evaluated per
// tap, every weight applied by a double multiply, one column at a time in
// the vertical pass. The scaler must give exactly these bytes.
double ReferenceKernel(double x) {
  if (std::fabs(x) > 0.5) return 0.0;
  double window = 0.54 + 0.46 * std::cos(6.283185307179586 * x);
  if (x == 0.0) return window;
  return window * (std::sin(3.141592653589793 * x) / (3.141592653589793 * x));
}

struct ReferenceEntry {
  int left, right;
  std::vector<double> weights;
};

std::vector<ReferenceEntry> ReferenceContributions(int lineSize, int srcSize,
                                                   double scale) {
  double width = scale < 1.0 ? 0.5 / scale : 0.5;
  double fscale = scale < 1.0 ? scale : 1.0;
  int windowSize = 2 * static_cast<int>(std::ceil(width)) + 1;
  std::vector<ReferenceEntry> entries(lineSize);
  for (int i = 0; i < lineSize; ++i) {
    double center = i / scale;
    int left = static_cast<int>(std::floor(center - width));
    int right = static_cast<int>(std::ceil(center + width));
    if (left < 0) left = 0;
    if (right > srcSize - 1) right = srcSize - 1;
    if (right - left + 1 > windowSize) {
      if (left < srcSize) ++left; else --right;
    }
    ReferenceEntry& e = entries[i];
    e.left = left;
    e.right = right;
    double total = 0;
    for (int j = left; j <= right; ++j) {
      e.weights.push_back(fscale * ReferenceKernel((center - j) * fscale));
      total += e.weights.back();
    }
    if (total > 0) {
      for (double& w : e.weights) w /= total;
    }
  }
  return entries;
}

Pixels ReferenceScale(const Pixels& src, int sw, int sh, int dw, int dh) {
  Pixels temp(size_t(dw) * sh * 3), dst(size_t(dw) * dh * 3);
  auto h = ReferenceContributions(dw, sw, double(dw) / double(sw));
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < dw; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        uint8_t sum = 0;
        for (int j = h[x].left; j <= h[x].right; ++j) {
          sum += uint8_t(int(src[(size_t(y) * sw + j) * 3 + ch] *
                             h[x].weights[j - h[x].left]));
        }
        temp[(size_t(y) * dw + x) * 3 + ch] = sum;
      }
    }
  }
  auto v = ReferenceContributions(dh, sh, double(dh) / double(sh));
  for (int x = 0; x < dw; ++x) {
    for (int y = 0; y < dh; ++y) {
      for (int ch = 0; ch < 3; ++ch) {
        uint8_t sum = 0;
        for (int j = v[y].left; j <= v[y].right; ++j) {
          sum += uint8_t(int(temp[(size_t(j) * dw + x) * 3 + ch] *
                             v[y].weights[j - v[y].left]));
        }
        dst[(size_t(y) * dw + x) * 3 + ch] = sum;
      }
    }
  }
  return dst;
}

Pixels Scaled(const Pixels& src, int sw, int sh, int dw, int dh) {
  Pixels dst(size_t(dw) * dh * 3, 0xEE);
  Scaler scaler;
  EXPECT_EQ(scaler.Scale(src.data(), sw, sh, dst.data(), dw, dh), dst.data());
  return dst;
}

TEST(HammingFilterTest, KernelShape) {
  CHammingFilter filter;
  EXPECT_EQ(filter.filterWidth, 0.5);
  EXPECT_EQ(filter.Filter(0.0), 1.0);
  EXPECT_NEAR(filter.Filter(0.5), 0.08 * 2 / 3.141592653589793, 1e-12);
  EXPECT_EQ(filter.Filter(-0.25), filter.Filter(0.25));
  EXPECT_EQ(filter.Filter(0.5000001), 0.0);
  CHammingFilter wide(2.0);
  EXPECT_GT(wide.Filter(0.75), 0.0);  // the width is the filter's own
}

TEST(ContributionsTest, EnlargingTwoToFour) {
  ContributionTable* table = Scaler::ComputeContributions(4, 2, 2.0);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->windowSize, 2);  // 3, but never more than the source
  struct Expected { int left, right; std::vector<double> weights; };
  const Expected expected[] = {
      {0, 1, {1, 0}}, {0, 1, {0.5, 0.5}}, {0, 1, {0, 1}}, {1, 1, {1}}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const Contribution& e = table->entries[i];
    EXPECT_EQ(e.left, expected[i].left);
    EXPECT_EQ(e.right, expected[i].right);
    for (size_t k = 0; k < expected[i].weights.size(); ++k) {
      EXPECT_DOUBLE_EQ(e.weights[k], expected[i].weights[k]);
    }
  }
  Scaler::FreeContributions(table);
}

// Tables and bytes worked out from the kernel's definition rather than from
// the scaler's code, which the slow reference above follows step by step:
// both must give them. The kernel is K(x) = (0.54 + 0.46 cos 2πx) sin(πx)/(πx) for
// |x| <= 1/2 and 0 beyond; K(0.2) = 0.6381420, K(1/3) = 0.2563679,
// K(0.4) = 0.1270350. Reducing n samples to m centres output i on source
// i n/m, takes the sources within n/2m of it, at most 2 ceil(n/2m) + 1 of
// them (the first is dropped when there are more), weighs each by
// K(distance m/n) and scales the weights to sum to 1. Enlarging does the
// same with K(distance) and a reach of 1/2.
struct HandTable {
  int source, line, window;
  std::vector<ReferenceEntry> entries;
};

const HandTable kHandTables[] = {
    // Output 0 sits on source 0 and reaches 1.25 samples: 1 / (1 + K(0.4)).
    {5, 2, 5, {{0, 2, {0.8872838766, 0.1127161234, 0}}, {1, 4, {0, 0.5, 0.5, 0}}}},
    // Output 1 sits on 5/3 and would reach sources 0 to 3, one too many.
    {5, 3, 3, {{0, 1, {1, 0}}, {1, 3, {0.1660204367, 0.8339795633, 0}},
               {2, 4, {0, 0.8339795633, 0.1660204367}}}},
    {3, 1, 3, {{0, 2, {0.7959451774, 0.2040548226, 0}}}},
    {2, 3, 2, {{0, 1, {1, 0}}, {0, 1, {0, 1}}, {0, 1, {0, 1}}}},
};

TEST(ContributionsTest, MatchTablesWorkedOutByHand) {
  for (const HandTable& hand : kHandTables) {
    SCOPED_TRACE(testing::Message() << hand.source << " -> " << hand.line);
    const double scale = double(hand.line) / hand.source;
    ContributionTable* table = Scaler::ComputeContributions(hand.line, hand.source, scale);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->windowSize, hand.window);
    const auto reference = ReferenceContributions(hand.line, hand.source, scale);
    for (int i = 0; i < hand.line; ++i) {
      SCOPED_TRACE(i);
      const ReferenceEntry& want = hand.entries[i];
      const Contribution& got = table->entries[i];
      EXPECT_EQ(got.left, want.left);
      EXPECT_EQ(got.right, want.right);
      EXPECT_EQ(reference[i].left, want.left);
      EXPECT_EQ(reference[i].right, want.right);
      ASSERT_EQ(reference[i].weights.size(), want.weights.size());
      for (size_t k = 0; k < want.weights.size() && int(k) <= got.right - got.left; ++k) {
        EXPECT_NEAR(got.weights[k], want.weights[k], 1e-9) << k;
        EXPECT_NEAR(reference[i].weights[k], want.weights[k], 1e-9) << k;
      }
    }
    Scaler::FreeContributions(table);
  }
}

// Five samples to two, along a row and down a column: each output byte is the
// sum of the products of sample and weight, each cut to a whole number.
// 201 x 0.8872839 = 178.3 and 255 x 0.1127161 = 28.7 make 206 (rounding
// would make 207); 51 / 2 and 7 / 2 make 25 + 3.
TEST(TwoPassScaleTest, BytesWorkedOutByHand) {
  const uint8_t red[] = {201, 255, 51, 7, 99}, green[] = {0, 100, 200, 100, 0};
  Pixels line;
  for (int i = 0; i < 5; ++i) line.insert(line.end(), {red[i], green[i], 255});
  const Pixels expected = {206, 11, 254, 28, 150, 254};
  EXPECT_EQ(Scaled(line, 5, 1, 2, 1), expected);
  EXPECT_EQ(Scaled(line, 1, 5, 1, 2), expected);
  EXPECT_EQ(ReferenceScale(line, 5, 1, 2, 1), expected);
  EXPECT_EQ(ReferenceScale(line, 1, 5, 1, 2), expected);
}

TEST(ContributionsTest, WindowWidensWithReduction) {
  const struct { int line, src, window; } cases[] = {
      {133, 408, 5}, {133, 3264, 27}, {100, 1000, 11}, {4, 2, 2}, {7, 7, 3}};
  for (const auto& c : cases) {
    ContributionTable* table =
        Scaler::ComputeContributions(c.line, c.src, double(c.line) / c.src);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->windowSize, c.window) << c.src << " -> " << c.line;
    auto reference = ReferenceContributions(c.line, c.src, double(c.line) / c.src);
    for (int i = 0; i < c.line; ++i) {
      const Contribution& e = table->entries[i];
      ASSERT_EQ(e.left, reference[i].left);
      ASSERT_EQ(e.right, reference[i].right);
      for (int j = e.left; j <= e.right; ++j) {
        ASSERT_EQ(e.weights[j - e.left], reference[i].weights[j - e.left]);
      }
    }
    Scaler::FreeContributions(table);
  }
}

TEST(TwoPassScaleTest, EnlargesOneChannelRow) {
  Pixels src = {0, 10, 20, 255, 30, 40};
  Pixels dst = Scaled(src, 2, 1, 4, 1);
  EXPECT_EQ(dst, (Pixels{0, 10, 20, 127, 20, 30, 255, 30, 40, 255, 30, 40}));
}

TEST(TwoPassScaleTest, SameSizeAndSinglePixelAreCopies) {
  Pixels one = {7, 8, 9};
  EXPECT_EQ(Scaled(one, 1, 1, 1, 1), one);
  std::mt19937 random(5);
  Pixels image(37 * 23 * 3);
  for (auto& b : image) b = uint8_t(random());
  EXPECT_EQ(Scaled(image, 37, 23, 37, 23), image);
}

TEST(TwoPassScaleTest, UniformImageDarkensOnlyByTruncation) {
  Pixels grey(408 * 306 * 3, 200);
  Pixels dst = Scaled(grey, 408, 306, 133, 100);
  // Five taps in each pass, and each pass can lose up to taps - 1 levels.
  for (uint8_t v : dst) {
    ASSERT_LE(v, 200);
    ASSERT_GE(v, 200 - 4 - 4);
  }
}

TEST(TwoPassScaleTest, RefusesEmptySizes) {
  Pixels pixel = {1, 2, 3};
  Scaler scaler;
  EXPECT_EQ(scaler.Scale(pixel.data(), 1, 1, pixel.data(), 0, 1), nullptr);
  EXPECT_EQ(scaler.Scale(pixel.data(), 0, 1, pixel.data(), 1, 1), nullptr);
  EXPECT_EQ(scaler.Scale(pixel.data(), 1, 1, pixel.data(), 1, 0), nullptr);
}

// The fast scaler (tables of truncated products, skipped zero taps, row-wise
// vertical pass, copies) against the plain formula, on random pictures and
// random sizes: reductions, enlargements and equal lengths in each pass.
class ScaleIdentityTest : public ::testing::TestWithParam<int> {};

TEST_P(ScaleIdentityTest, MatchesPlainFormula) {
  std::mt19937 random(GetParam());
  auto size = [&](int most) { return 1 + int(random() % most); };
  for (int round = 0; round < 4; ++round) {
    int sw = size(round % 2 ? 40 : 700), sh = size(round % 2 ? 40 : 500);
    int dw = random() % 5 == 0 ? sw : size(round % 2 ? 300 : 200);
    int dh = random() % 5 == 0 ? sh : size(round % 2 ? 300 : 150);
    SCOPED_TRACE(testing::Message() << sw << "x" << sh << " -> " << dw << "x" << dh);
    Pixels src(size_t(sw) * sh * 3);
    // Mix noise with smooth areas so that both extremes of the product
    // tables are exercised.
    for (size_t i = 0; i < src.size(); ++i) {
      src[i] = random() % 3 == 0 ? uint8_t(random()) : uint8_t(i / 3 % 256);
    }
    ASSERT_EQ(Scaled(src, sw, sh, dw, dh), ReferenceScale(src, sw, sh, dw, dh));
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScaleIdentityTest, ::testing::Range(1, 41));

TEST(ScaleIdentityTest, ThumbnailSizes) {
  const struct { int sw, sh, dw, dh; } cases[] = {
      {408, 306, 133, 100}, {306, 408, 75, 100}, {375, 250, 150, 100},
      {500, 125, 400, 100}, {4, 3, 133, 100},    {2, 250, 1, 100}};
  std::mt19937 random(99);
  for (const auto& c : cases) {
    Pixels src(size_t(c.sw) * c.sh * 3);
    for (auto& b : src) b = uint8_t(random());
    EXPECT_EQ(Scaled(src, c.sw, c.sh, c.dw, c.dh),
              ReferenceScale(src, c.sw, c.sh, c.dw, c.dh))
        << c.sw << "x" << c.sh;
  }
}

}  // namespace

}  // namespace tavirelle
