// heap.cpp - the firmware heap with a ledger: who holds which block, double
// frees and foreign pointers, and fault injection for the failure paths.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "sim.h"

namespace sim {

namespace {

struct Block {
  dword size;
  int slot;
};

// The receiver has little memory; a request beyond this is a fault in the
// caller's arithmetic and fails as it would there.
constexpr size_t kHeapLimit = size_t(64) << 20;

struct Heap {
  std::map<const void *, Block> blocks;
  std::set<const void *> freed; // released blocks, to tell double frees apart
  size_t inUse = 0;
  size_t peak = 0; // the most inUse has been since the reset
};

Heap &H() {
  static Heap heap;
  return heap;
}

} // namespace

void HeapReset() {
  Heap &h = H();
  for (auto &b : h.blocks) free(const_cast<void *>(b.first));
  h.blocks.clear();
  h.freed.clear();
  h.inUse = 0;
  h.peak = 0;
}

dword HeapBlocks(int slot) {
  dword n = 0;
  for (auto &b : H().blocks)
    if (b.second.slot == slot) ++n;
  return n;
}

dword HeapBlocksTotal() {
  return dword(H().blocks.size());
}

} // namespace sim

using namespace sim;

extern "C" void Sim_FailAllocNth(dword nth) {
  State &s = S();
  s.failNth = nth ? s.allocCount + nth : 0;
}
extern "C" void Sim_FailAllocAbove(dword bytes) {
  S().failAbove = bytes;
}
extern "C" void Sim_FailWriteAfter(long long bytes) {
  S().writeBudget = bytes < 0 ? -1 : bytes;
}
extern "C" dword Sim_AllocCount(void) {
  return S().allocCount;
}
extern "C" dword Sim_HeapBlocks(int slot) {
  return slot >= 0 && slot < SIM_MAX_PLUGINS ? HeapBlocks(slot) : 0;
}
extern "C" dword Sim_HeapMisuse(int slot) {
  return slot >= 0 && slot < SIM_MAX_PLUGINS ? S().tasks[slot].heapMisuse : 0;
}
extern "C" dword Sim_HeapBlocksTotal(void) {
  return HeapBlocksTotal();
}
extern "C" dword Sim_HeapPeak(void) {
  return dword(H().peak);
}
extern "C" void Sim_ResetHeapPeak(void) {
  H().peak = H().inUse;
}

extern "C" void *TAP_MemAlloc(dword size) {
  State &s = S();
  Heap &h = H();
  const dword n = ++s.allocCount;
  if (size == 0 || (s.failNth && n == s.failNth) || (s.failAbove && size > s.failAbove))
    return nullptr;
  if (size > kHeapLimit || h.inUse + size > kHeapLimit) return nullptr;
  void *p = malloc(size);
  if (!p) return nullptr;
  // Fresh blocks are not zeroed on the receiver either; a fixed pattern makes
  // a read of uninitialised memory show up the same way every run.
  memset(p, 0xA5, size);
  h.blocks[p] = Block{size, CurrentSlot()};
  h.freed.erase(p);
  h.inUse += size;
  if (h.inUse > h.peak) h.peak = h.inUse;
  return p;
}

extern "C" int TAP_MemFree(const void *addr) {
  if (!addr) return 0;
  Heap &h = H();
  auto it = h.blocks.find(addr);
  if (it == h.blocks.end()) {
    Task &t = CurrentTask();
    ++t.heapMisuse;
    fprintf(stderr, "tapsim: %s: TAP_MemFree(%p): %s\n",
            t.name.empty() ? "firmware" : t.name.c_str(), addr,
            h.freed.count(addr) ? "block freed twice" : "not a block of the heap");
    return 0;
  }
  h.inUse -= it->second.size;
  h.blocks.erase(it);
  h.freed.insert(addr);
  free(const_cast<void *>(addr));
  return 1;
}

extern "C" void TAP_MemSet(void *dst, byte value, dword count) {
  if (dst && count) memset(dst, value, count);
}

extern "C" void TAP_MemCpy(void *dst, const void *src, dword count) {
  if (dst && src && count) memmove(dst, src, count);
}

extern "C" int TAP_MemCmp(const void *a, const void *b, dword count) {
  if (!count) return 0;
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  return memcmp(a, b, count);
}
