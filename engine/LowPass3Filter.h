// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Three cascaded first-order low-pass stages with a feedback term from the
// last stage into the middle one: the integrator of the synchroniser. The
// output is Stage3. Callers pass weight = 1/L for an integration length of L.

namespace quillon {

template <class Type>
class LowPass3_Filter {
 public:
  Type Stage1;
  Type Stage2;
  Type Stage3;

  LowPass3_Filter& operator=(int value) {
    Stage1 = Stage2 = Stage3 = static_cast<Type>(value);
    return *this;
  }

  // All three differences are taken before any stage moves.
  void Process(Type input, Type weight, Type feedback) {
    const Type w = 2 * weight;
    const Type d1 = input - Stage1;
    const Type d2 = Stage1 - Stage2;
    const Type d3 = Stage2 - Stage3;
    Stage1 += w * d1;
    Stage2 += w * d2;
    Stage3 += w * d3;
    Stage2 += feedback * (w * d3);
  }
};

}  // namespace quillon
