// SPDX-License-Identifier: GPL-3.0-or-later
// The plain kernel: a "vector" of doubles in an array, every operation a
// loop over its lanes, which the compiler may turn into whatever vectors the
// target has (SSE2 on x86-64, NEON on aarch64).

#include <cmath>

#include "engine/kernels/DecodeCharacter.h"
#include "engine/kernels/PlainKernel.h"
#include "engine/kernels/SoftRows.h"

namespace quillon {
namespace {

struct PlainVec {
  static constexpr unsigned kLanes = 4;
  double lane[kLanes];

  static PlainVec Zero() { return Broadcast(0.0); }
  static PlainVec Broadcast(double x) {
    PlainVec v;
    for (double& y : v.lane) y = x;
    return v;
  }
  static PlainVec Load(const double* p) {
    PlainVec v;
    for (unsigned i = 0; i < kLanes; ++i) v.lane[i] = p[i];
    return v;
  }
  void Store(double* p) const {
    for (unsigned i = 0; i < kLanes; ++i) p[i] = lane[i];
  }
  friend PlainVec operator+(const PlainVec& a, const PlainVec& b) {
    PlainVec v;
    for (unsigned i = 0; i < kLanes; ++i) v.lane[i] = a.lane[i] + b.lane[i];
    return v;
  }
  friend PlainVec operator-(const PlainVec& a, const PlainVec& b) {
    PlainVec v;
    for (unsigned i = 0; i < kLanes; ++i) v.lane[i] = a.lane[i] - b.lane[i];
    return v;
  }
  friend PlainVec operator*(const PlainVec& a, const PlainVec& b) {
    PlainVec v;
    for (unsigned i = 0; i < kLanes; ++i) v.lane[i] = a.lane[i] * b.lane[i];
    return v;
  }
  // Where |x| exceeds `size`, x becomes the peak and `index` its position.
  static void KeepLarger(const PlainVec& x, const PlainVec& index, PlainVec& peak, PlainVec& size,
                         PlainVec& position) {
    for (unsigned i = 0; i < kLanes; ++i) {
      const double magnitude = std::fabs(x.lane[i]);
      const bool larger = magnitude > size.lane[i];
      peak.lane[i] = larger ? x.lane[i] : peak.lane[i];
      size.lane[i] = larger ? magnitude : size.lane[i];
      position.lane[i] = larger ? index.lane[i] : position.lane[i];
    }
  }
};

}  // namespace

void DecodeCharacterPlain(const DecoderBankView& bank, unsigned character) {
  kernels::DecodeCharacter<PlainVec>(bank, character);
}

void SoftRowsPlain(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                   unsigned bits, bool gray) {
  kernels::SoftRows(energy, rows, stride, lanes, symbols, bits, gray);
}

}  // namespace quillon
