// The resampler behind thumbnails: a separable two-pass filter (rows first,
// then columns) with a Hamming-windowed sinc kernel whose support widens
// with the reduction factor.
//
// Thumbnails are compared byte for byte, so the arithmetic is fixed: double
// weights, every product of a sample and a weight truncated on its own, and
// the truncated products summed in an 8-bit accumulator. The fast paths
// below (tables of truncated products, skipped zero taps, copies for
// equal-length passes) give the same bytes as that plain formula; the tests
// hold them to it.
#ifndef TAVIRELLE_IMAGING_TWO_PASS_SCALE_H_
#define TAVIRELLE_IMAGING_TWO_PASS_SCALE_H_

#include <cstdint>

namespace tavirelle {

class CGenericFilter {
 public:
  explicit CGenericFilter(double width) : filterWidth(width) {}
  virtual ~CGenericFilter() = default;
  virtual double Filter(double x) = 0;

  double filterWidth;  // half-width of the support, in kernel units
};

class CHammingFilter : public CGenericFilter {
 public:
  explicit CHammingFilter(double width = 0.5) : CGenericFilter(width) {}
  double Filter(double x) override;
};

// The source samples one output sample is made of: weights[k] belongs to
// source index left + k, for left <= index <= right.
struct Contribution {
  double* weights = nullptr;
  int32_t left = 0;
  int32_t right = 0;
};

struct ContributionTable {
  Contribution* entries = nullptr;  // lineSize of them
  int32_t windowSize = 0;
  int32_t lineSize = 0;
};

template <class FilterClass>
class C2PassScale {
 public:
  C2PassScale() = default;
  virtual ~C2PassScale() = default;
  C2PassScale(const C2PassScale&) = delete;
  C2PassScale& operator=(const C2PassScale&) = delete;

  // Resamples 24-bit pixels (rows top-down, no row padding, the three bytes
  // of a pixel treated alike) from src into the caller's dst. Returns dst,
  // or null when memory for the intermediate image or the tables could not
  // be had (dst is then unspecified) or a size is zero.
  uint8_t* Scale(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight,
                 uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight);

  // The contribution table of one pass (scale = output / input length).
  // Null when out of memory; free with FreeContributions.
  static ContributionTable* ComputeContributions(int32_t lineSize,
                                                 int32_t srcSize, double scale);
  static void FreeContributions(ContributionTable* table);

 private:
  // Both return false when out of memory.
  bool HorizontalPass(const uint8_t* src, uint32_t srcWidth,
                      uint32_t srcHeight, uint8_t* dst, uint32_t dstWidth);
  bool VerticalPass(const uint8_t* src, uint32_t dstWidth, uint32_t srcHeight,
                    uint8_t* dst, uint32_t dstHeight);
};

extern template class C2PassScale<CHammingFilter>;

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_TWO_PASS_SCALE_H_
