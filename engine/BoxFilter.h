// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moving sum over the last Length inputs. The sum runs on without being
// recomputed; owners preset (and so clear) the filter before every pass, so
// rounding error cannot build up across passes. Preset keeps the taps it
// already has when they are long enough, so an owner that presets the
// filter once with its longest Length can re-preset it per pass without
// allocating.

#include "engine/Containers.h"

namespace quillon {

template <class Type, class SumType = Type>
class BoxFilter {
 public:
  unsigned Length = 0;
  Array<Type> Tap;  // ring of the last Length inputs
  unsigned TapIndex = 0;  // the oldest input, replaced next
  SumType Sum = 0;

  BoxFilter() { Init(); }
  BoxFilter(const BoxFilter&) = delete;
  BoxFilter& operator=(const BoxFilter&) = delete;
  ~BoxFilter() { Free(); }

  void Init() {
    Tap.reset();
    Room = 0;
  }
  void Free() { Init(); }

  int Preset() {
    if (Length > Room || !Tap) {
      if (ReallocArray(Tap, Length) < 0) {
        Free();
        return -1;
      }
      Room = Length;
    }
    Clear();
    return 0;
  }
  void Clear() {
    ClearArray(Tap, Length);
    TapIndex = 0;
    Sum = 0;
  }

  void Process(Type x) {
    Sum -= static_cast<SumType>(Tap[TapIndex]);
    Sum += x;
    Tap[TapIndex] = x;
    if (++TapIndex >= Length) TapIndex = 0;
  }

 private:
  unsigned Room = 0;  // taps allocated
};

}  // namespace quillon
