// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Receivers that hear the same audio repeat each other's transforms: every
// receiver's burst detector takes 2048-point spectra of the same samples,
// and receivers whose symbols are equally long limit the input and split it
// into spectra alike. A TransformMemo, owned by whoever runs such receivers
// one after another on one thread and handed to each of them, keeps the
// latest results of every transform together with their input. A receiver
// whose input equals a kept one to the bit copies the result instead of
// working it out; the transforms are pure functions of their input array,
// so every receiver gets exactly what it would have computed, and one that
// hears other audio (or lags further behind than the memo keeps) simply
// computes its own.
//
// Not for concurrent use: one memo per thread.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/Containers.h"

namespace quillon {

template <class Value>
class TransformMemo {
 public:
  using Complex = Cmpx<Value>;

  // The transforms kept, told apart besides by their input length.
  enum class Kind : unsigned {
    kTwoSpectra,  // FFT of two real frames, split into both half spectra
    kLimiter,     // the input limiter's spectral work between its two FFTs
  };

  // Where a result goes: `len` values from `data` on.
  struct Span {
    Complex* data;
    unsigned len;
  };

  // A consumer's place in the memo: the entry it expects next, so that a
  // receiver following another finds each result at the first look.
  struct Cursor {
    std::uint64_t next = 0;
  };

  // `lag_samples`: how many samples of audio one receiver may be ahead of
  // another that should still find its results.
  explicit TransformMemo(unsigned lag_samples) : lag_samples_(lag_samples) {}
  TransformMemo(const TransformMemo&) = delete;
  TransformMemo& operator=(const TransformMemo&) = delete;

  // Announces a consumer of a transform, which may do up to `batch` of them
  // at once beyond the audio it heard last (the demodulator gets a whole
  // limiter window of symbols in one go). Results are kept only for
  // transforms that at least two consumers share, since a lone one would
  // only pay for the copies.
  void Join(Kind kind, unsigned len, const Cursor* consumer, unsigned batch = 0) {
    Bucket& bucket = BucketFor(kind, len);
    // Each transform covers at least half its length of audio (the
    // demodulator's step); two more cover the transforms a round straddles.
    const std::size_t slots = lag_samples_ / std::max(1u, len / 2) + 2 + batch;
    if (slots > bucket.entries.size()) bucket.entries.resize(slots);
    for (const Cursor* known : bucket.consumers)
      if (known == consumer) return;
    bucket.consumers.push_back(consumer);
  }

  // Fills `out` (one or two spans) with the transform of `input` (`len`
  // values): a kept result when the same input was transformed before, else
  // what compute() writes there. compute() may work in place on the input.
  template <class Compute>
  void Apply(Kind kind, const Complex* input, unsigned len, Span out0, Span out1, Cursor& cursor, Compute compute) {
    Bucket* bucket = FindBucket(kind, len);
    if (bucket == nullptr || bucket->consumers.size() < 2) {
      compute();
      return;
    }
    const std::uint64_t hash = Fingerprint(input, len);
    if (const Entry* kept = Find(*bucket, input, len, hash, cursor)) {
      const Complex* result = kept->data.get() + len;
      std::memcpy(static_cast<void*>(out0.data), result, out0.len * sizeof(Complex));
      if (out1.len > 0) std::memcpy(static_cast<void*>(out1.data), result + out0.len, out1.len * sizeof(Complex));
      ++hits_;
      return;
    }
    ++misses_;
    Entry* entry = NextSlot(*bucket, len, out0.len + out1.len);
    if (entry == nullptr) {  // no memory for keeping: computing is still right
      compute();
      return;
    }
    std::memcpy(static_cast<void*>(entry->data.get()), input, len * sizeof(Complex));
    compute();
    Complex* result = entry->data.get() + len;
    std::memcpy(static_cast<void*>(result), out0.data, out0.len * sizeof(Complex));
    if (out1.len > 0) std::memcpy(static_cast<void*>(result + out0.len), out1.data, out1.len * sizeof(Complex));
    entry->hash = hash;
    entry->serial = bucket->serial++;
    entry->valid = true;
    cursor.next = entry->serial + 1;
  }

  // Transforms taken from the memo and worked out (and kept), for measuring.
  std::uint64_t Hits() const { return hits_; }
  std::uint64_t Misses() const { return misses_; }

 private:
  struct Entry {
    Array<Complex> data;  // the input, then the result
    unsigned result_len = 0;
    std::uint64_t hash = 0;
    std::uint64_t serial = 0;
    bool valid = false;
  };
  struct Bucket {
    Kind kind;
    unsigned len;
    std::vector<const Cursor*> consumers;
    std::vector<Entry> entries;  // a ring by serial
    std::uint64_t serial = 1;    // of the next entry kept; 0 is never one
  };

  Bucket* FindBucket(Kind kind, unsigned len) {
    for (Bucket& bucket : buckets_)
      if (bucket.kind == kind && bucket.len == len) return &bucket;
    return nullptr;
  }
  Bucket& BucketFor(Kind kind, unsigned len) {
    if (Bucket* bucket = FindBucket(kind, len)) return *bucket;
    buckets_.push_back(Bucket{kind, len, {}, {}, 1});
    return buckets_.back();
  }

  // A few values spread over the input: different inputs almost always
  // differ here, so the full comparison runs mostly on the one that matches.
  static std::uint64_t Fingerprint(const Complex* input, unsigned len) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned i = 0; i < 8; ++i) {
      // Off the window's edges, whose values are often zero.
      const Complex& value = input[((static_cast<std::uint64_t>(len) * i) / 8 + 3) % len];
      std::uint64_t bits[2] = {0, 0};
      std::memcpy(bits, &value, sizeof(bits) < sizeof(value) ? sizeof(bits) : sizeof(value));
      hash = (hash ^ bits[0]) * 1099511628211ull;
      hash = (hash ^ bits[1]) * 1099511628211ull;
    }
    return hash;
  }

  static bool Matches(const Entry& entry, const Complex* input, unsigned len, std::uint64_t hash) {
    return entry.valid && entry.hash == hash && std::memcmp(entry.data.get(), input, len * sizeof(Complex)) == 0;
  }

  const Entry* Find(Bucket& bucket, const Complex* input, unsigned len, std::uint64_t hash, Cursor& cursor) {
    const std::size_t slots = bucket.entries.size();
    const Entry& expected = bucket.entries[cursor.next % slots];
    if (expected.serial == cursor.next && Matches(expected, input, len, hash)) {
      ++cursor.next;
      return &expected;
    }
    for (const Entry& entry : bucket.entries)
      if (Matches(entry, input, len, hash)) {
        cursor.next = entry.serial + 1;
        return &entry;
      }
    return nullptr;
  }

  Entry* NextSlot(Bucket& bucket, unsigned len, unsigned result_len) {
    Entry& entry = bucket.entries[bucket.serial % bucket.entries.size()];
    entry.valid = false;
    if (!entry.data || entry.result_len != result_len) {
      if (ReallocArray(entry.data, static_cast<std::size_t>(len) + result_len) < 0) return nullptr;
      entry.result_len = result_len;
    }
    return &entry;
  }

  unsigned lag_samples_;
  std::vector<Bucket> buckets_;
  std::uint64_t hits_ = 0;
  std::uint64_t misses_ = 0;
};

}  // namespace quillon
