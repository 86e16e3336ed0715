// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A single-producer single-consumer ring of fixed slots: the shape of every
// ring the station's threads share (the character rings, the capture ring and
// the transmit audio ring). One thread writes, one thread reads; there are no
// locks. The ring is empty when the two indices are equal; an index advances
// by one, and from the last slot back to 0, so at most slots - 1 entries are
// pending.
//
// The writer fills the slot at the write index and only then publishes the
// index (release); the reader loads the write index (acquire) before it reads
// the slot, and releases the slot by advancing its own index. Whether the
// writer tests for room is each ring's own rule: the writer may ask HasRoom,
// or write on and overwrite what was not read yet.

#include <algorithm>
#include <atomic>
#include <memory>

namespace quillon {

template <class Slot>
class SpscRing {
 public:
  explicit SpscRing(int slot_count) : slots_(std::max(slot_count, 2)), storage_(std::make_unique<Slot[]>(slots_)) {}
  SpscRing(const SpscRing&) = delete;
  SpscRing& operator=(const SpscRing&) = delete;

  int Slots() const { return slots_; }
  int Next(int index) const { return index >= slots_ - 1 ? 0 : index + 1; }

  // Writer: the slot at the write index, to be filled before Publish.
  Slot& WriteSlot() { return storage_[write_index.load(std::memory_order_relaxed)]; }
  // Writer: hands the filled slot to the reader.
  void Publish() {
    write_index.store(Next(write_index.load(std::memory_order_relaxed)), std::memory_order_release);
  }
  // Writer: false when publishing one more slot would reach the read index.
  bool HasRoom() const {
    return Next(write_index.load(std::memory_order_relaxed)) != read_index.load(std::memory_order_acquire);
  }
  // Writer: one value in, without a room test.
  void Put(const Slot& value) {
    WriteSlot() = value;
    Publish();
  }

  // Reader: the slot at the read index, or nullptr when the ring is empty.
  const Slot* Front() const {
    const int at = read_index.load(std::memory_order_relaxed);
    if (at == write_index.load(std::memory_order_acquire)) return nullptr;
    return &storage_[at];
  }
  // Reader: done with the slot Front returned.
  void Pop() { read_index.store(Next(read_index.load(std::memory_order_relaxed)), std::memory_order_release); }
  // Reader: one value out; false when the ring is empty.
  bool Take(Slot& value) {
    const Slot* front = Front();
    if (front == nullptr) return false;
    value = *front;
    Pop();
    return true;
  }
  // Reader: drops everything pending.
  void Skip() { read_index.store(write_index.load(std::memory_order_acquire), std::memory_order_release); }

  bool Empty() const {
    return read_index.load(std::memory_order_acquire) == write_index.load(std::memory_order_acquire);
  }
  // Entries pending between the read and the write index.
  int Pending() const {
    const int pending = write_index.load(std::memory_order_acquire) - read_index.load(std::memory_order_acquire);
    return pending < 0 ? pending + slots_ : pending;
  }
  // Both indices to 0. Only while neither side is running.
  void Clear() {
    write_index.store(0, std::memory_order_release);
    read_index.store(0, std::memory_order_release);
  }

  std::atomic<int> write_index{0};
  std::atomic<int> read_index{0};

 private:
  int slots_;
  std::unique_ptr<Slot[]> storage_;
};

}  // namespace quillon
