// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine's working storage: owned arrays with (re)allocation that reports
// failure instead of throwing, a byte queue, a ring of fixed-width slots, a
// growable sequence and the complex number.
//
// Every engine class follows one lifecycle: the constructor calls Init()
// (arrays = none) and Default() (parameter defaults) and allocates nothing;
// the owner writes public parameter fields; Preset() derives, (re)allocates
// and resets, returning 0 or -1 (after Free()) when memory runs out; Reset()
// clears running state; Free() releases; the destructor releases too.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace quillon {

// An owned array. Storage is released by its destructor as well as by Free(),
// so an object that is never freed explicitly still leaks nothing.
template <class Type>
using Array = std::unique_ptr<Type[]>;

// Releases what the array holds, then allocates n default-constructed (for
// arithmetic types: zeroed) elements. The old contents are never carried over.
// Returns 0, or -1 when the allocation fails (the array is then empty).
template <class Type>
int ReallocArray(Array<Type>& array, std::size_t n) {
  array.reset();
  if (n == 0) return 0;
  array.reset(new (std::nothrow) Type[n]());
  return array ? 0 : -1;
}

template <class Type>
void ClearArray(Type* array, std::size_t n) {
  static_assert(std::is_trivially_copyable<Type>::value, "ClearArray zeroes bytes");
  if (array != nullptr && n > 0) std::memset(static_cast<void*>(array), 0, n * sizeof(Type));
}

template <class Type>
void ClearArray(Array<Type>& array, std::size_t n) {
  ClearArray(array.get(), n);
}

// Single-producer single-consumer queue over a fixed array. Holds at most
// Len - 1 elements: one slot always stays free to tell full from empty.
template <class Type>
class FIFO {
 public:
  unsigned Len = 0;
  unsigned ReadPtr = 0;
  unsigned WritePtr = 0;
  Array<Type> Data;

  FIFO() { Init(); }
  FIFO(const FIFO&) = delete;
  FIFO& operator=(const FIFO&) = delete;

  void Init() {
    Data.reset();
    Len = 0;
  }
  void Free() {
    Data.reset();
    Len = 0;
  }
  int Preset() {
    if (ReallocArray(Data, Len) < 0) {
      Free();
      return -1;
    }
    Reset();
    return 0;
  }
  void Reset() { ReadPtr = WritePtr = 0; }

  void IncrPtr(unsigned& ptr, unsigned step = 1) const {
    ptr += step;
    if (ptr >= Len) ptr -= Len;
  }
  int Empty() const { return ReadPtr == WritePtr; }
  int Full() const {
    unsigned next = WritePtr;
    IncrPtr(next);
    return next == ReadPtr;
  }
  int Write(Type x) {
    if (Full()) return 0;
    Data[WritePtr] = x;
    IncrPtr(WritePtr);
    return 1;
  }
  int Read(Type& x) {
    if (Empty()) return 0;
    x = Data[ReadPtr];
    IncrPtr(ReadPtr);
    return 1;
  }
  int ReadReady() const {
    int ready = static_cast<int>(WritePtr) - static_cast<int>(ReadPtr);
    if (ready < 0) ready += static_cast<int>(Len);
    return ready;
  }
};

// A ring of Len slots, each Width consecutive elements, in one flat array.
template <class Type>
class CircularBuffer {
 public:
  unsigned Width = 1;
  unsigned Len = 0;
  unsigned Size = 0;
  unsigned Ptr = 0;
  Array<Type> Data;

  CircularBuffer() { Init(); }
  CircularBuffer(const CircularBuffer&) = delete;
  CircularBuffer& operator=(const CircularBuffer&) = delete;

  void Init() {
    Data.reset();
    Size = 0;
    Width = 1;
  }
  void Free() {
    Data.reset();
    Size = 0;
  }
  int Preset() {
    Size = Width * Len;
    if (ReallocArray(Data, Size) < 0) {
      Free();
      return -1;
    }
    Reset();
    return 0;
  }
  void Reset() { Ptr = 0; }

  void Set(const Type& x) { std::fill(Data.get(), Data.get() + Size, x); }
  void Clear() {
    Type zero;
    zero = 0;  // LowPass3_Filter takes 0 through its own assignment
    Set(zero);
  }

  Type* AbsPtr(unsigned slot) { return Data.get() + slot * Width; }
  Type* CurrPtr() { return Data.get() + Ptr * Width; }
  Type* OffsetPtr(int offset) {
    int k = (offset + static_cast<int>(Ptr)) * static_cast<int>(Width);
    if (k < 0)
      k += static_cast<int>(Size);
    else if (k >= static_cast<int>(Size))
      k -= static_cast<int>(Size);
    return Data.get() + k;
  }
  void IncrPtr(unsigned& ptr, unsigned step = 1) const {
    ptr += step;
    if (ptr >= Len) ptr -= Len;
  }
  CircularBuffer& operator+=(unsigned step) {
    IncrPtr(Ptr, step);
    return *this;
  }
};

// A growable sequence: room is kept between uses, Len counts the elements.
template <class Type>
class Seq {
 public:
  unsigned Space = 0;
  unsigned Len = 0;
  Array<Type> Elem;

  Seq() = default;
  Seq(const Seq&) = delete;
  Seq& operator=(const Seq&) = delete;

  int EnsureSpace(unsigned n) {
    if (Space >= n) return 0;
    Array<Type> room(new (std::nothrow) Type[n]());
    if (!room) {
      Free();
      return -1;
    }
    std::copy(Elem.get(), Elem.get() + Len, room.get());
    Elem = std::move(room);
    Space = n;
    return 0;
  }
  void Free() {
    Elem.reset();
    Space = Len = 0;
  }
  void Clear() { Len = 0; }
  void Delete(unsigned start, unsigned count) {
    if (Len - start != count) std::memmove(Elem.get() + start, Elem.get() + start + count,
                                           (Len - start - count) * sizeof(Type));
    Len -= count;
  }
  Type& operator[](int i) { return Elem[i]; }
  const Type& operator[](int i) const { return Elem[i]; }
};

// A complex number, real part first.
template <class Type>
struct Cmpx {
  Type Re;
  Type Im;

  // Re^2 + Im^2 in the element type's own arithmetic, never wider, so that
  // bin energies compare and tie exactly as the plain double sum does.
  Type Energy() const { return Re * Re + Im * Im; }
  void SetPhase(double phase, double magnitude) {
    Re = static_cast<Type>(magnitude * std::cos(phase));
    Im = static_cast<Type>(magnitude * std::sin(phase));
  }
  Cmpx& operator*=(Type x) {
    Re *= x;
    Im *= x;
    return *this;
  }
};

}  // namespace quillon
