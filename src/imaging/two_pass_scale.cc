#include "imaging/two_pass_scale.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace tavirelle {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// The tables of truncated products of one pass block are kept under this
// size so that they stay in cache next to the rows being read.
constexpr size_t kTableBlockBytes = 256 * 1024;

// A tap is worth a table once its weight is applied to more samples than
// the 256 products the table costs to build.
constexpr size_t kTableWorthUses = 256;

// The one place where a sample meets a weight: the product in double
// precision, truncated toward zero, kept as the 8-bit quantity the
// accumulator adds.
inline uint8_t TruncatedProduct(uint8_t sample, double weight) {
  return static_cast<uint8_t>(
      static_cast<int>(static_cast<double>(sample) * weight));
}

void FillProductTable(double weight, uint8_t* table) {
  for (int v = 0; v < 256; ++v) {
    table[v] = TruncatedProduct(static_cast<uint8_t>(v), weight);
  }
}

// One tap that can change the result (a zero weight adds trunc(s * 0) = 0).
struct Tap {
  int32_t source;  // source index
  double weight;
};

void NonZeroTaps(const Contribution& entry, std::vector<Tap>* taps) {
  taps->clear();
  for (int32_t j = entry.left; j <= entry.right; ++j) {
    double weight = entry.weights[j - entry.left];
    if (weight != 0.0) taps->push_back(Tap{j, weight});
  }
}

template <class T>
std::unique_ptr<T[]> AllocateArray(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace

double CHammingFilter::Filter(double x) {
  if (std::fabs(x) > filterWidth) return 0.0;
  double window = 0.54 + 0.46 * std::cos(kTwoPi * x);
  double sinc = 1.0;
  if (x != 0.0) {
    double pix = kPi * x;
    sinc = std::sin(pix) / pix;
  }
  return window * sinc;
}

template <class FilterClass>
ContributionTable* C2PassScale<FilterClass>::ComputeContributions(
    int32_t lineSize, int32_t srcSize, double scale) {
  if (lineSize <= 0 || srcSize <= 0 || !(scale > 0.0)) return nullptr;
  FilterClass filter;
  double width;
  double fscale;
  if (scale < 1.0) {
    width = filter.filterWidth / scale;
    fscale = scale;
  } else {
    width = filter.filterWidth;
    fscale = 1.0;
  }
  // Computed wide: a reduction by a huge factor would overflow 32 bits. No
  // entry ever spans more than srcSize samples, so that bounds the arrays.
  int64_t windowSize = 2 * static_cast<int64_t>(std::ceil(width)) + 1;
  int64_t weightsPerEntry = windowSize < srcSize ? windowSize : srcSize;

  auto* table = new (std::nothrow) ContributionTable;
  if (table == nullptr) return nullptr;
  table->windowSize = static_cast<int32_t>(weightsPerEntry);
  table->lineSize = lineSize;
  table->entries = new (std::nothrow) Contribution[lineSize];
  if (table->entries == nullptr) {
    table->lineSize = 0;
    FreeContributions(table);
    return nullptr;
  }
  for (int32_t i = 0; i < lineSize; ++i) {
    Contribution& entry = table->entries[i];
    entry.weights = new (std::nothrow) double[weightsPerEntry];
    if (entry.weights == nullptr) {
      FreeContributions(table);
      return nullptr;
    }
    double center = static_cast<double>(i) / scale;
    int64_t left = static_cast<int64_t>(std::floor(center - width));
    int64_t right = static_cast<int64_t>(std::ceil(center + width));
    if (left < 0) left = 0;
    if (right > srcSize - 1) right = srcSize - 1;
    if (right - left + 1 > windowSize) {
      if (left < srcSize) {
        ++left;
      } else {
        --right;
      }
    }
    entry.left = static_cast<int32_t>(left);
    entry.right = static_cast<int32_t>(right);
    double total = 0.0;
    for (int64_t j = left; j <= right; ++j) {
      double x = (center - static_cast<double>(j)) * fscale;
      double weight = fscale * filter.Filter(x);
      entry.weights[j - left] = weight;
      total += weight;
    }
    if (total > 0.0) {
      for (int64_t j = left; j <= right; ++j) entry.weights[j - left] /= total;
    }
  }
  return table;
}

template <class FilterClass>
void C2PassScale<FilterClass>::FreeContributions(ContributionTable* table) {
  if (table == nullptr) return;
  if (table->entries != nullptr) {
    for (int32_t i = 0; i < table->lineSize; ++i) {
      delete[] table->entries[i].weights;
    }
    delete[] table->entries;
  }
  delete table;
}

namespace {

template <class FilterClass>
struct TableDeleter {
  void operator()(ContributionTable* table) const {
    C2PassScale<FilterClass>::FreeContributions(table);
  }
};
template <class FilterClass>
using TablePtr =
    std::unique_ptr<ContributionTable, TableDeleter<FilterClass>>;

}  // namespace

template <class FilterClass>
bool C2PassScale<FilterClass>::HorizontalPass(const uint8_t* src,
                                              uint32_t srcWidth,
                                              uint32_t srcHeight, uint8_t* dst,
                                              uint32_t dstWidth) {
  if (dstWidth == srcWidth) {
    // Every output sample would get weight 1 on its own source sample.
    std::memcpy(dst, src, size_t{srcWidth} * srcHeight * 3);
    return true;
  }
  TablePtr<FilterClass> table(ComputeContributions(
      static_cast<int32_t>(dstWidth), static_cast<int32_t>(srcWidth),
      static_cast<double>(dstWidth) / static_cast<double>(srcWidth)));
  if (!table) return false;

  const size_t srcRow = size_t{srcWidth} * 3;
  const size_t dstRow = size_t{dstWidth} * 3;
  const bool tabled = size_t{srcHeight} * 3 >= kTableWorthUses;
  std::vector<Tap> taps;
  std::vector<size_t> tapStart;    // per column of the block, into the lists
  std::vector<size_t> sources;     // byte offset of each tap's pixel in a row
  std::vector<double> weights;
  std::vector<uint8_t> products;   // 256 truncated products per tap

  uint32_t x0 = 0;
  while (x0 < dstWidth) {
    // Gather the taps of as many output columns as fit one table block
    // (always at least one column).
    tapStart.assign(1, 0);
    sources.clear();
    weights.clear();
    uint32_t x1 = x0;
    while (x1 < dstWidth) {
      NonZeroTaps(table->entries[x1], &taps);
      size_t after = (weights.size() + taps.size()) * 256;
      if (x1 > x0 && tabled && after > kTableBlockBytes) break;
      for (const Tap& tap : taps) {
        sources.push_back(size_t(tap.source) * 3);
        weights.push_back(tap.weight);
      }
      tapStart.push_back(weights.size());
      ++x1;
    }
    const size_t tapCount = weights.size();
    bool useTables = tabled && tapCount * 256 <= 4 * kTableBlockBytes;
    if (useTables) {
      products.resize(tapCount * 256);
      for (size_t t = 0; t < tapCount; ++t) {
        FillProductTable(weights[t], &products[t * 256]);
      }
    }
    for (uint32_t y = 0; y < srcHeight; ++y) {
      const uint8_t* in = src + y * srcRow;
      uint8_t* out = dst + y * dstRow;
      for (uint32_t x = x0; x < x1; ++x) {
        size_t first = tapStart[x - x0];
        size_t last = tapStart[x - x0 + 1];
        uint8_t r = 0, g = 0, b = 0;
        if (useTables) {
          for (size_t t = first; t < last; ++t) {
            const uint8_t* p = in + sources[t];
            const uint8_t* table256 = &products[t * 256];
            r = static_cast<uint8_t>(r + table256[p[0]]);
            g = static_cast<uint8_t>(g + table256[p[1]]);
            b = static_cast<uint8_t>(b + table256[p[2]]);
          }
        } else {
          for (size_t t = first; t < last; ++t) {
            const uint8_t* p = in + sources[t];
            r = static_cast<uint8_t>(r + TruncatedProduct(p[0], weights[t]));
            g = static_cast<uint8_t>(g + TruncatedProduct(p[1], weights[t]));
            b = static_cast<uint8_t>(b + TruncatedProduct(p[2], weights[t]));
          }
        }
        uint8_t* pixel = out + size_t{x} * 3;
        pixel[0] = r;
        pixel[1] = g;
        pixel[2] = b;
      }
    }
    x0 = x1;
  }
  return true;
}

template <class FilterClass>
bool C2PassScale<FilterClass>::VerticalPass(const uint8_t* src,
                                            uint32_t dstWidth,
                                            uint32_t srcHeight, uint8_t* dst,
                                            uint32_t dstHeight) {
  const size_t row = size_t{dstWidth} * 3;
  if (dstHeight == srcHeight) {
    std::memcpy(dst, src, row * srcHeight);
    return true;
  }
  TablePtr<FilterClass> table(ComputeContributions(
      static_cast<int32_t>(dstHeight), static_cast<int32_t>(srcHeight),
      static_cast<double>(dstHeight) / static_cast<double>(srcHeight)));
  if (!table) return false;

  // Output rows are built whole, one source row at a time: the 8-bit sums
  // do not depend on the order in which the truncated products are added,
  // and a whole row of lookups is a simple loop over contiguous bytes.
  const bool tabled = row >= kTableWorthUses;
  uint8_t products[256];
  for (uint32_t y = 0; y < dstHeight; ++y) {
    const Contribution& entry = table->entries[y];
    uint8_t* out = dst + y * row;
    std::memset(out, 0, row);
    for (int32_t j = entry.left; j <= entry.right; ++j) {
      double weight = entry.weights[j - entry.left];
      if (weight == 0.0) continue;
      const uint8_t* in = src + size_t(j) * row;
      if (tabled) {
        FillProductTable(weight, products);
        for (size_t i = 0; i < row; ++i) {
          out[i] = static_cast<uint8_t>(out[i] + products[in[i]]);
        }
      } else {
        for (size_t i = 0; i < row; ++i) {
          out[i] =
              static_cast<uint8_t>(out[i] + TruncatedProduct(in[i], weight));
        }
      }
    }
  }
  return true;
}

template <class FilterClass>
uint8_t* C2PassScale<FilterClass>::Scale(const uint8_t* src, uint32_t srcWidth,
                                         uint32_t srcHeight, uint8_t* dst,
                                         uint32_t dstWidth,
                                         uint32_t dstHeight) {
  constexpr uint32_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (src == nullptr || dst == nullptr || srcWidth == 0 || srcHeight == 0 ||
      dstWidth == 0 || dstHeight == 0 || srcWidth > kMaxSide ||
      srcHeight > kMaxSide || dstWidth > kMaxSide || dstHeight > kMaxSide) {
    return nullptr;
  }
  size_t narrowed = size_t{dstWidth} * srcHeight;
  if (narrowed > std::numeric_limits<size_t>::max() / 3) return nullptr;
  auto temp = AllocateArray<uint8_t>(narrowed * 3);
  if (!temp) return nullptr;
  try {
    if (!HorizontalPass(src, srcWidth, srcHeight, temp.get(), dstWidth) ||
        !VerticalPass(temp.get(), dstWidth, srcHeight, dst, dstHeight)) {
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;  // the passes' small bookkeeping vectors
  }
  return dst;
}

template class C2PassScale<CHammingFilter>;

}  // namespace tavirelle
