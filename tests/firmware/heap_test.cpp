// The heap ledger and its fault injection.
#include "testdisk.h"

namespace {

using Heap = SimTest;

TEST_F(Heap, LedgerCountsHeldBlocksAndMisuse) {
  void *a = TAP_MemAlloc(16);
  void *b = TAP_MemAlloc(32);
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(2u, Sim_HeapBlocks(0));
  EXPECT_EQ(2u, Sim_HeapBlocksTotal());
  EXPECT_EQ(1, TAP_MemFree(a));
  EXPECT_EQ(1u, Sim_HeapBlocks(0));
  EXPECT_EQ(0u, Sim_HeapMisuse(0));

  EXPECT_EQ(0, TAP_MemFree(a)); // twice
  int onStack = 0;
  EXPECT_EQ(0, TAP_MemFree(&onStack));                   // never allocated
  EXPECT_EQ(0, TAP_MemFree(static_cast<char *>(b) + 4)); // inside a block
  EXPECT_EQ(3u, Sim_HeapMisuse(0));
  EXPECT_EQ(1u, Sim_HeapBlocks(0)); // misuse freed nothing
  EXPECT_EQ(0, TAP_MemFree(nullptr));
  EXPECT_EQ(3u, Sim_HeapMisuse(0));
  EXPECT_EQ(1, TAP_MemFree(b));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
}

TEST_F(Heap, NthAllocationFails) {
  const dword before = Sim_AllocCount();
  Sim_FailAllocNth(2);
  void *a = TAP_MemAlloc(8);
  void *b = TAP_MemAlloc(8);
  void *c = TAP_MemAlloc(8);
  EXPECT_NE(nullptr, a);
  EXPECT_EQ(nullptr, b);
  EXPECT_NE(nullptr, c);
  EXPECT_EQ(before + 3, Sim_AllocCount());
  EXPECT_EQ(2u, Sim_HeapBlocks(0));
  TAP_MemFree(a);
  TAP_MemFree(c);
  Sim_FailAllocNth(0);
  void *d = TAP_MemAlloc(8);
  EXPECT_NE(nullptr, d);
  TAP_MemFree(d);
}

TEST_F(Heap, LargeAllocationsFail) {
  Sim_FailAllocAbove(100);
  void *ok = TAP_MemAlloc(100);
  EXPECT_NE(nullptr, ok);
  EXPECT_EQ(nullptr, TAP_MemAlloc(101));
  Sim_FailAllocAbove(0);
  void *big = TAP_MemAlloc(101);
  EXPECT_NE(nullptr, big);
  // Sizes no receiver could give, as a wrapped-around product would ask for.
  EXPECT_EQ(nullptr, TAP_MemAlloc(0xFFFFFFF0u));
  EXPECT_EQ(nullptr, TAP_MemAlloc(0));
  TAP_MemFree(ok);
  TAP_MemFree(big);
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
}

TEST_F(Heap, MemoryHelpers) {
  char a[8] = "abcdefg";
  TAP_MemCpy(a + 1, a, 4); // overlapping
  EXPECT_STREQ("aabcdfg", a);
  TAP_MemSet(a, 'z', 3);
  EXPECT_STREQ("zzzcdfg", a);
  EXPECT_EQ(0, TAP_MemCmp("abc", "abd", 2));
  EXPECT_LT(TAP_MemCmp("abc", "abd", 3), 0);
  TAP_MemCpy(nullptr, a, 3);
  TAP_MemSet(nullptr, 0, 3);
  EXPECT_EQ(0, TAP_MemCmp(nullptr, nullptr, 3));
}

} // namespace
