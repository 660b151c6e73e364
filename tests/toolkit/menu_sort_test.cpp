// Sorting the menu's items: every order must be exactly the one of the
// plain exchange scheme (each item against every later one, swapping whole
// records), ties included, whatever the list; and the item storage grows
// without copying the list over and over.
#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "menu_support.h"

namespace {

using Sorting = MenuTest;

MenuLevel &Level() {
  return Menu[CurrentMenuLevel];
}

// The reference: the exchange scheme as written down, with its comparison.
const char *ReferenceKey(const char *t) {
  while (*t && static_cast<signed char>(*t) < 32 &&
         !(byte(*t) >= 0xC0 && byte(*t) != 0xD7 && byte(*t) != 0xF7))
    ++t;
  return t;
}

int ReferenceCompare(const char *x, const char *y, bool caseSensitive) {
  for (;; ++x, ++y) {
    int a = BaseLetter(byte(*x)), b = BaseLetter(byte(*y));
    if (!caseSensitive) {
      if (a >= 'A' && a <= 'Z') a += 'a' - 'A';
      if (b >= 'A' && b <= 'Z') b += 'a' - 'A';
    }
    if (a != b || a == 0) return a - b;
  }
}

enum class By { kID, kName, kValue };

struct Order {
  By by;
  bool ascending;
  bool caseSensitive;
};

bool ReferenceSwap(const Order &o, const MenuItem &a, const MenuItem &b) {
  if (o.by == By::kID) return o.ascending ? a.ID > b.ID : a.ID < b.ID;
  const size_t field = o.by == By::kName ? offsetof(MenuItem, Name) : offsetof(MenuItem, Value);
  const int c =
      ReferenceCompare(ReferenceKey(reinterpret_cast<const char *>(&a) + field),
                       ReferenceKey(reinterpret_cast<const char *>(&b) + field), o.caseSensitive);
  return o.ascending ? c > 0 : c < 0;
}

void ReferenceSort(const Order &o, std::vector<MenuItem> &items) {
  for (size_t i = 0; i + 1 < items.size(); ++i)
    for (size_t j = i + 1; j < items.size(); ++j)
      if (ReferenceSwap(o, items[i], items[j])) std::swap(items[i], items[j]);
}

void Apply(const Order &o) {
  if (o.by == By::kID) OSDMenuItemSortID(o.ascending);
  if (o.by == By::kName) OSDMenuItemSortNameColumn(o.ascending, o.caseSensitive);
  if (o.by == By::kValue) OSDMenuItemSortValueColumn(o.ascending, o.caseSensitive);
}

std::string Describe(const Order &o) {
  return std::string(o.by == By::kID     ? "ID"
                     : o.by == By::kName ? "name"
                                         : "value") +
         (o.ascending ? " ascending" : " descending") + (o.caseSensitive ? " by case" : "");
}

// Names from few letters, so that many are equal, equal up to case, or
// equal up to an accent; some start with a colour code.  Values are file
// dates and sizes with many repeats; IDs are file types.
std::string RandomName(std::mt19937 &rng) {
  static const char *const kLetters[] = {"a", "A",    "b",    "B", "\xE4", "\xC4", "\xE1",
                                         "o", "\xF6", "\xD6", "_", "1",    "\xDF", "\xE6"};
  std::string s;
  if (rng() % 8 == 0) s += "\x05";
  const size_t length = 1 + rng() % 3;
  for (size_t i = 0; i < length; ++i) s += kLetters[rng() % (sizeof kLetters / sizeof *kLetters)];
  return s;
}

std::string RandomValue(std::mt19937 &rng) {
  static const char *const kDates[] = {"08.12.26 18:00", "08.12.26 18:01", "01.01.26 00:00"};
  char v[64];
  snprintf(v, sizeof v, "%s %u", kDates[rng() % 3], unsigned(rng() % 3) * 1500u);
  return v;
}

void Fill(std::mt19937 &rng, int count) {
  OSDMenuItemsClear();
  for (int i = 0; i < count; ++i) {
    const std::string name = RandomName(rng), value = RandomValue(rng);
    // The type decides the ID, a few items carry a marker in the icon field
    // so that records, not only keys, are compared.
    ASSERT_TRUE(OSDMenuItemAdd(name.c_str(), value.c_str(),
                               rng() % 5 == 0 ? &_Button_ok_Gd : nullptr, nullptr, true, false,
                               uint32_t(rng() % 4) * 0x40000000u + 1u));
    Level().Items[i].ColourSwatch = uint32_t(i); // tells equal items apart
  }
}

std::vector<MenuItem> Items() {
  return std::vector<MenuItem>(Level().Items, Level().Items + Level().ItemCount);
}

bool SameRecords(const std::vector<MenuItem> &a, const std::vector<MenuItem> &b) {
  return a.size() == b.size() &&
         (a.empty() || memcmp(a.data(), b.data(), a.size() * sizeof(MenuItem)) == 0);
}

std::string Positions(const std::vector<MenuItem> &items) {
  std::string s;
  for (const MenuItem &m : items) s += std::to_string(m.ColourSwatch) + " ";
  return s;
}

const Order kOrders[] = {
    {By::kID, true, false},    {By::kID, false, false},    {By::kName, true, false},
    {By::kName, false, false}, {By::kName, true, true},    {By::kName, false, true},
    {By::kValue, true, false}, {By::kValue, false, false}, {By::kValue, true, true},
};

// Each list is sorted by a chain of orders, every order straight after the
// same one reversed and after itself, as pressing a sort key twice does.
TEST_F(Sorting, EveryOrderIsTheExchangeSchemesOrder) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  std::mt19937 rng(16);
  std::vector<int> sizes = {0, 1, 2, 3, 7, 64, 65, 66, 127, 300};
  for (int i = 0; i < 10; ++i) sizes.push_back(int(rng() % 200));
  for (int count : sizes) {
    Fill(rng, count);
    if (HasFatalFailure()) return;
    std::vector<MenuItem> expected = Items();
    for (int step = 0; step < 6; ++step) {
      Order o = kOrders[rng() % (sizeof kOrders / sizeof *kOrders)];
      for (int again = 0; again < 3; ++again) {
        if (again == 1) o.ascending = !o.ascending; // the reverse of a sorted list
        ReferenceSort(o, expected);
        Apply(o);
        const std::vector<MenuItem> got = Items();
        ASSERT_TRUE(SameRecords(expected, got))
            << count << " items, step " << step << ", " << Describe(o) << "\nexpected "
            << Positions(expected) << "\ngot      " << Positions(got);
      }
    }
  }
}

// All equal, all different, sorted and reversed lists: the extremes of the
// exchange scheme.
TEST_F(Sorting, ListsAtTheExtremes) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  for (int pattern = 0; pattern < 4; ++pattern) {
    OSDMenuItemsClear();
    for (int i = 0; i < 200; ++i) {
      char name[16];
      const int key = pattern == 0 ? 0 : pattern == 1 ? i : pattern == 2 ? 199 - i : i % 2;
      snprintf(name, sizeof name, "%c%03d", pattern == 3 && i % 3 ? 'N' : 'n', key);
      ASSERT_TRUE(OSDMenuItemAdd(name, name, nullptr, nullptr, true, false, uint32_t(key)));
      Level().Items[i].ColourSwatch = uint32_t(i);
    }
    std::vector<MenuItem> expected = Items();
    for (const Order &o : kOrders) {
      ReferenceSort(o, expected);
      Apply(o);
      ASSERT_TRUE(SameRecords(expected, Items())) << "pattern " << pattern << ", " << Describe(o);
    }
  }
}

// The index arrays come from the heap; without them the list is still
// sorted, the same way, and nothing is left allocated.
TEST_F(Sorting, WithoutMemoryTheOrderStaysTheSame) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  std::mt19937 rng(1612);
  Fill(rng, 150);
  std::vector<MenuItem> expected = Items();
  const dword before = Sim_AllocCount();
  for (const Order &o : kOrders) {
    ReferenceSort(o, expected);
    Sim_FailAllocNth(1);
    Apply(o);
    Sim_FailAllocNth(0);
    ASSERT_TRUE(SameRecords(expected, Items())) << Describe(o);
  }
  EXPECT_EQ(before + (sizeof kOrders / sizeof *kOrders), Sim_AllocCount());
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
}

// A list as short as most folders sorts without asking for memory.
TEST_F(Sorting, ShortListsNeedNoMemory) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  std::mt19937 rng(7);
  Fill(rng, 64);
  const dword before = Sim_AllocCount();
  for (const Order &o : kOrders) Apply(o);
  EXPECT_EQ(before, Sim_AllocCount());
  Fill(rng, 65);
  const dword longer = Sim_AllocCount();
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ(longer + 1, Sim_AllocCount());
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
}

// 5,000 items: the storage doubles, so it is allocated a handful of times,
// keeps every item, and what lies beyond the items is zeroed, not left as
// the heap gave it.
TEST_F(Sorting, StorageGrowsByDoubling) {
  const dword before = Sim_AllocCount();
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  for (int i = 0; i < 5000; ++i) {
    char name[16];
    snprintf(name, sizeof name, "logo%04d", i);
    ASSERT_TRUE(OSDMenuItemAdd(name, "v", nullptr, nullptr, true, false, uint32_t(i)));
  }
  // 30, 60, ..., 7680 records: nine blocks in all.
  EXPECT_EQ(before + 9, Sim_AllocCount());
  EXPECT_EQ(7680, Level().ItemCapacity);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  ASSERT_EQ(5000, OSDMenuItemGetNrOfItems());
  for (int i = 0; i < 5000; ++i) {
    char name[16];
    snprintf(name, sizeof name, "logo%04d", i);
    ASSERT_STREQ(name, OSDMenuItemGetName(i));
    ASSERT_STREQ("v", OSDMenuItemGetValue(i));
    ASSERT_EQ(uint32_t(i), OSDMenuItemGetID(i));
  }
  const char *rest = reinterpret_cast<const char *>(Level().Items + 5000);
  const size_t restBytes = size_t(7680 - 5000) * sizeof(MenuItem);
  EXPECT_EQ(restBytes, size_t(std::count(rest, rest + restBytes, '\0')));
}

} // namespace
