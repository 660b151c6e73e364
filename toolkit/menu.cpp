// menu.cpp - the OSD menu's model: the stack of menu levels, items, legend
// buttons, sorting, the memo view and the getters.  Drawing is in
// menu_draw.cpp, cursor movement and keys in menu_keys.cpp.
#include <stddef.h>
#include <string.h>

#include "tklib.h"

MenuLevel Menu[kMenuLevels];
uint32_t CurrentMenuLevel = 0;
word OSDRgn = 0, MyOSDRgn = 0;
uint32_t TitleDirty = 0, ListDirty = 0, ButtonsDirty = 0, LogoDirty = 0, OSDDirty = 0;
uint32_t MenuChanges = 0;
uint32_t ButtonColor = 0xFFE6E6FA;
uint32_t MenuCursorType = 0;
OSDMenuCallback CallbackProcedure = nullptr;

constexpr uint32_t kDefaultButtonColor = 0xFFE6E6FA;
constexpr uint32_t kButtonLineStart = 55;
constexpr uint32_t kButtonLineY[4] = {0, 487, 511, 535};
constexpr dword kMemoWrapWidth = 551;

static MenuLevel &Current() {
  return Menu[CurrentMenuLevel];
}

// Copies at most Size - 1 characters and always terminates; the source may
// be the destination itself (a title set again from what it shows).
static void CopyText(char *Destination, const char *Source, size_t Size) {
  if (!Source) {
    Destination[0] = '\0';
    return;
  }
  const size_t length = strnlen(Source, Size - 1);
  memmove(Destination, Source, length);
  Destination[length] = '\0';
}

static void ReleaseItems(MenuLevel &level) {
  if (level.Items) TAP_MemFree(level.Items);
  level.Items = nullptr;
  level.ItemCapacity = 0;
  level.ItemCount = 0;
}

// Room for one more item: the storage doubles when full, so adding n items
// copies O(n) records in all, and only the new part is zeroed.  The old
// block is handed to the caller to release once the new item is copied,
// since its texts may come from the very items being moved.
static bool MakeRoom(MenuLevel &level, MenuItem *&Retired) {
  Retired = nullptr;
  if (level.ItemCount < level.ItemCapacity) return true;
  constexpr int32_t kMostItems = int32_t(0x7FFFFFFF / sizeof(MenuItem) / 2);
  if (level.ItemCapacity > kMostItems) return false;
  const int32_t capacity = level.ItemCapacity ? level.ItemCapacity * 2 : kMenuItemStep;
  const dword bytes = dword(capacity) * dword(sizeof(MenuItem));
  MenuItem *items = static_cast<MenuItem *>(TAP_MemAlloc_Chk("OSDMenuItemAdd", bytes));
  if (!items) return false;
  const size_t kept = size_t(level.ItemCount) * sizeof(MenuItem);
  if (level.Items) memcpy(items, level.Items, kept);
  memset(reinterpret_cast<char *>(items) + kept, 0, bytes - kept);
  Retired = level.Items;
  level.Items = items;
  level.ItemCapacity = capacity;
  return true;
}

bool OSDMenuInitialize(bool SpareFlag, bool ValueColumn, bool Numbered, bool WrapAround,
                       const char *TitleLeft, const char *TitleRight) {
  MenuLevel &level = Current();
  ++MenuChanges;
  // The titles may come from the level itself.
  char left[sizeof level.TitleLeft], right[sizeof level.TitleRight];
  CopyText(left, TitleLeft, sizeof left);
  CopyText(right, TitleRight, sizeof right);
  // A level set up again must not lose the storage it still holds.
  ReleaseItems(level);
  memset(&level, 0, sizeof level);
  for (uint32_t &x : level.ButtonLineX) x = kButtonLineStart;

  if (OSDRgn) {
    TAP_Osd_Delete(OSDRgn);
    OSDRgn = 0;
  }
  MyOSDRgn = 0;

  level.SpareFlag = SpareFlag;
  level.ValueColumn = ValueColumn;
  level.Numbered = Numbered;
  level.WrapAround = WrapAround;
  level.ValueColumnX = 350;
  level.ArrowItems = 0;

  // Without storage the level stays empty but usable: the first item added
  // tries the allocation again.
  MenuItem *none;
  const bool stored = MakeRoom(level, none);

  level.TitleFont = &Calibri_20_FontData;
  level.TitleRightFont = &Calibri_16_FontData;
  level.NumberFont = &Calibri_14_FontData;
  level.NameFont = &Calibri_14_FontData;
  level.ValueFont = &Calibri_14_FontData;
  level.ButtonFont = &Calibri_12_FontData;
  level.MemoFont = &Calibri_14_FontData;

  CopyText(level.TitleLeft, left, sizeof level.TitleLeft);
  CopyText(level.TitleRight, right, sizeof level.TitleRight);

  level.MemoMode = 0;
  ButtonColor = kDefaultButtonColor;
  MenuCursorType = 0;
  CallbackProcedure = nullptr;
  return stored;
}

bool OSDMenuItemAdd(const char *Name, const char *Value, const GraphicDescriptor *NameIcon,
                    const GraphicDescriptor *ValueIcon, bool Selectable, bool ValueArrows,
                    uint32_t ID) {
  MenuLevel &level = Current();
  MenuItem *retired;
  if (!MakeRoom(level, retired)) return false;
  if (!Name || !*Name) {
    if (retired) TAP_MemFree(retired);
    return false;
  }
  MenuItem &item = level.Items[level.ItemCount];
  CopyText(item.Name, Name, sizeof item.Name);
  CopyText(item.Value, Value, sizeof item.Value);
  item.NameIcon = NameIcon;
  item.ValueIcon = ValueIcon;
  item.Selectable = Selectable;
  item.ValueArrows = ValueArrows;
  item.ID = ID;
  item.ColourSwatch = 0;
  item.TextColour = 0xFFFFFFFF;
  if (retired) TAP_MemFree(retired);
  if (ValueArrows) level.ArrowItems = 1;
  ++level.ItemCount;
  ListDirty = 1;
  ++MenuChanges;
  return true;
}

void OSDMenuItemsClear() {
  Current().ItemCount = 0;
  ListDirty = 1;
  ++MenuChanges;
}

bool OSDMenuButtonAdd(dword Line, dword IconIndex, const GraphicDescriptor *CustomIcon,
                      const char *Text) {
  MenuLevel &level = Current();
  const GraphicDescriptor *icon = OSDMenuGetIconPointer(int(IconIndex), CustomIcon);
  if (Line < 1 || Line > 3 || !icon || !Text) return false;
  // The level has room for kMenuButtons; more are refused.
  if (level.ButtonCount >= uint32_t(kMenuButtons)) return false;
  MenuButton &button = level.Buttons[level.ButtonCount];
  button.X = level.ButtonLineX[Line];
  button.Y = kButtonLineY[Line];
  button.Icon = icon;
  CopyText(button.Text, Text, sizeof button.Text);
  button.Colour = ButtonColor;
  ++level.ButtonCount;
  ButtonsDirty = 1;
  ++MenuChanges;
  level.ButtonLineX[Line] += icon->width + OSDMenuGetW(Text, 12) + 8;
  return true;
}

void OSDMenuButtonsClear() {
  MenuLevel &level = Current();
  level.ButtonCount = 0;
  for (uint32_t &x : level.ButtonLineX) x = kButtonLineStart;
  ButtonColor = kDefaultButtonColor;
  ButtonsDirty = 1;
  ++MenuChanges;
}

// ---- getters ------------------------------------------------------------------

static MenuItem *ItemAt(int Index) {
  MenuLevel &level = Current();
  if (Index < 0 || Index >= level.ItemCount || !level.Items) return nullptr;
  return &level.Items[Index];
}

int OSDMenuGetCurrentItem() {
  return Current().SelectedIndex;
}
int OSDMenuItemGetNrOfItems() {
  return Current().ItemCount;
}
int OSDMenuItemGetTopIndex() {
  return Current().TopIndex;
}
char *OSDMenuItemGetName(int Index) {
  MenuItem *item = ItemAt(Index);
  return item ? item->Name : nullptr;
}
char *OSDMenuItemGetValue(int Index) {
  MenuItem *item = ItemAt(Index);
  return item ? item->Value : nullptr;
}
uint32_t OSDMenuItemGetID(int Index) {
  MenuItem *item = ItemAt(Index);
  return item ? item->ID : 0;
}
char *OSDMenuItemGetCurrentName() {
  return OSDMenuItemGetName(Current().SelectedIndex);
}
char *OSDMenuItemGetCurrentValue() {
  return OSDMenuItemGetValue(Current().SelectedIndex);
}

// ---- sorting --------------------------------------------------------------------

// Every order is the one of this exchange scheme: each item i is compared
// with every later item j and the two records change places when Swap says
// so.  Lists and stored settings have always shown this order, ties
// included, so a faster sort must give exactly the same one.
template <class SwapRule> static void ExchangeSort(MenuLevel &level, SwapRule Swap) {
  for (int32_t i = 0; i + 1 < level.ItemCount; ++i)
    for (int32_t j = i + 1; j < level.ItemCount; ++j)
      if (Swap(level.Items[i], level.Items[j])) {
        MenuItem t = level.Items[i];
        level.Items[i] = level.Items[j];
        level.Items[j] = t;
      }
}

// Up to this many items the exchange scheme itself is cheap and needs no
// memory.
constexpr int32_t kExchangeSortMost = 64;

// The exchange scheme's order in O(n log n) plus the ties' share.  Pass i
// brings the first of the smallest remaining items to the front; on its way
// each item that is smaller than all before it moves to where the next such
// item stood.  Seen from one group of equal items, only the smaller ones
// ahead of it matter: each of them, when it leaves, moves the first of the
// group behind the group's items that stand before the next smaller one.
// So the group ends in its first order, rotated: after its j-th item joins,
// by as many places as smaller items stand between its j-th and (j+1)-th
// item, modulo j.  Before(a, b) says a belongs strictly before b.
// Returns false, sorting nothing, without memory for the index arrays.
template <class BeforeRule> static bool SortIndexed(MenuLevel &level, BeforeRule Before) {
  const int32_t n = level.ItemCount;
  int32_t *block = static_cast<int32_t *>(TAP_MemAlloc_Chk("OSDMenuSort", dword(n) * 4u * 4u));
  if (!block) return false;
  int32_t *sorted = block, *spare = block + n, *counts = block + 2 * n, *next = block + 3 * n;

  // A stable merge sort of the indexes: equal items stay in list order.
  for (int32_t i = 0; i < n; ++i) sorted[i] = i;
  for (int32_t width = 1; width < n; width *= 2) {
    for (int32_t lo = 0; lo < n; lo += 2 * width) {
      const int32_t mid = lo + width < n ? lo + width : n;
      const int32_t hi = mid + width < n ? mid + width : n;
      int32_t a = lo, b = mid, k = lo;
      // Runs already in order (a list sorted again, or all equal) are
      // joined without merging.
      const bool joined =
          mid == hi || !Before(level.Items[sorted[mid]], level.Items[sorted[mid - 1]]);
      while (!joined && a < mid && b < hi)
        spare[k++] =
            Before(level.Items[sorted[b]], level.Items[sorted[a]]) ? sorted[b++] : sorted[a++];
      while (a < mid) spare[k++] = sorted[a++];
      while (b < hi) spare[k++] = sorted[b++];
    }
    int32_t *t = sorted;
    sorted = spare;
    spare = t;
  }

  // counts is a Fenwick tree over list positions marking the items of the
  // groups already placed; spare receives the new order.
  for (int32_t i = 0; i < n; ++i) counts[i] = 0;
  const auto SmallerBefore = [&](int32_t position) {
    int32_t c = 0;
    for (int32_t p = position; p > 0; p -= p & -p) c += counts[p - 1];
    return c;
  };
  int32_t placed = 0;
  for (int32_t first = 0; first < n;) {
    int32_t end = first + 1;
    while (end < n && !Before(level.Items[sorted[first]], level.Items[sorted[end]])) ++end;
    // The group sorted[first, end) in list order, kept as a ring.
    int32_t head = sorted[first], tail = head;
    next[head] = head;
    for (int32_t j = 1; j < end - first; ++j) {
      const int32_t item = sorted[first + j];
      next[tail] = item;
      next[item] = head;
      tail = item;
      const int32_t following = first + j + 1 < end ? SmallerBefore(sorted[first + j + 1]) : placed;
      for (int32_t turn = (following - SmallerBefore(item)) % (j + 1); turn > 0; --turn) {
        tail = head;
        head = next[head];
      }
    }
    for (int32_t j = first, item = head; j < end; ++j, item = next[item]) spare[j] = item;
    for (int32_t j = first; j < end; ++j)
      for (int32_t p = sorted[j] + 1; p <= n; p += p & -p) ++counts[p - 1];
    placed += end - first;
    first = end;
  }

  // Each record moves once, cycle by cycle; a done place points to itself.
  for (int32_t start = 0; start < n; ++start) {
    if (spare[start] == start) continue;
    const MenuItem held = level.Items[start];
    int32_t at = start;
    while (spare[at] != start) {
      const int32_t from = spare[at];
      level.Items[at] = level.Items[from];
      spare[at] = at;
      at = from;
    }
    level.Items[at] = held;
    spare[at] = at;
  }
  TAP_MemFree(block);
  return true;
}

template <class SwapRule> static void SortItems(SwapRule Swap) {
  MenuLevel &level = Current();
  const auto Before = [&](const MenuItem &a, const MenuItem &b) { return Swap(b, a); };
  if (level.ItemCount > kExchangeSortMost) {
    if (!SortIndexed(level, Before)) ExchangeSort(level, Swap);
  } else {
    ExchangeSort(level, Swap);
  }
  ListDirty = 1;
  ++MenuChanges;
}

void OSDMenuItemSortID(bool Ascending) {
  SortItems([Ascending](const MenuItem &a, const MenuItem &b) {
    return Ascending ? a.ID > b.ID : a.ID < b.ID;
  });
}

static bool IsLatin1Letter(byte c) {
  return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

// Leading control bytes and bytes from 0x80 on (colour and format codes)
// do not count when sorting by text; a leading Latin-1 letter does.
static const char *SortKey(const char *Text) {
  while (*Text && static_cast<signed char>(*Text) < 32 && !IsLatin1Letter(byte(*Text))) ++Text;
  return Text;
}

// What each byte sorts as: its base letter for a Latin-1 letter, in lower
// case unless case counts.  Made once per sort, it spares a call for every
// character compared.
static void SortLetters(byte *Letters, bool CaseSensitive) {
  for (int c = 0; c < 256; ++c) {
    int a = BaseLetter(byte(c));
    if (!CaseSensitive && a >= 'A' && a <= 'Z') a += 'a' - 'A';
    Letters[c] = byte(a);
  }
}

// strcmp, or strcasecmp, with Latin-1 letters taken as their base letter.
static int CompareText(const char *x, const char *y, const byte *Letters) {
  for (;; ++x, ++y) {
    const int a = Letters[byte(*x)], b = Letters[byte(*y)];
    if (a != b || a == 0) return a - b;
  }
}

static void SortByText(bool Ascending, bool CaseSensitive, size_t Field) {
  byte letters[256];
  SortLetters(letters, CaseSensitive);
  SortItems([=, &letters](const MenuItem &a, const MenuItem &b) {
    const char *x = SortKey(reinterpret_cast<const char *>(&a) + Field);
    const char *y = SortKey(reinterpret_cast<const char *>(&b) + Field);
    const int c = CompareText(x, y, letters);
    return Ascending ? c > 0 : c < 0;
  });
}

void OSDMenuItemSortNameColumn(bool Ascending, bool CaseSensitive) {
  SortByText(Ascending, CaseSensitive, offsetof(MenuItem, Name));
}

void OSDMenuItemSortValueColumn(bool Ascending, bool CaseSensitive) {
  SortByText(Ascending, CaseSensitive, offsetof(MenuItem, Value));
}

// ---- memo -------------------------------------------------------------------------

// Adds Text[Start, End) as one memo line; an empty line is a single blank,
// since items without a name are refused.
static bool AddMemoLine(char *Text, size_t Start, size_t End) {
  if (End == Start) return OSDMenuItemAdd(" ", nullptr, nullptr, nullptr, true, false, 0);
  const char kept = Text[End];
  Text[End] = '\0';
  const bool added = OSDMenuItemAdd(Text + Start, nullptr, nullptr, nullptr, true, false, 0);
  Text[End] = kept;
  return added;
}

static dword MemoWidth(char *Text, size_t Start, size_t End) {
  const char kept = Text[End];
  Text[End] = '\0';
  const dword width = FM_GetStringWidth(Text + Start, &Calibri_14_FontData);
  Text[End] = kept;
  return width;
}

bool OSDMemoInitialize(bool WrapAround, const char *TitleLeft, const char *TitleRight,
                       const char *Text) {
  // The private copy comes first: the text may lie in the items that
  // setting up the level releases.
  char *text = nullptr;
  size_t length = 0;
  if (Text && *Text) {
    length = strlen(Text);
    text = static_cast<char *>(TAP_MemAlloc_Chk("OSDMemoInitialize", dword(length + 2)));
    if (text) memcpy(text, Text, length + 1);
  }
  const bool ready = OSDMenuInitialize(false, false, false, WrapAround, TitleLeft, TitleRight);
  Current().MemoMode = 1;
  if (length == 0) return ready;
  if (!text) return false;

  StrReplace(text, "\x8D", "\r");
  StrReplace(text, "\x8A", "\n");
  StrReplace(text, "\r\n", "\n");
  if (!StringEndsWith(text, "\n")) strcat(text, "\n");

  // A line runs to the last blank before it grows 551 pixels wide, or to a
  // line feed; a word wider than that stands alone.
  bool ok = true;
  const size_t end = strlen(text);
  size_t start = 0, scan = start;
  long lastBreak = -1; // last blank seen on this line
  while (ok && start < end) {
    size_t d = scan;
    while (text[d] != ' ' && text[d] != '\n') ++d;
    if (MemoWidth(text, start, d) >= kMemoWrapWidth) {
      const size_t stop = lastBreak >= 0 ? size_t(lastBreak) : d;
      ok = AddMemoLine(text, start, stop);
      start = scan = stop + 1;
      lastBreak = -1;
    } else if (text[d] == '\n') {
      ok = AddMemoLine(text, start, d);
      start = scan = d + 1;
      lastBreak = -1;
    } else {
      lastBreak = long(d);
      scan = d + 1;
    }
  }
  TAP_MemFree(text);
  return ok;
}

// ---- levels ------------------------------------------------------------------------

bool OSDMenuPush() {
  if (CurrentMenuLevel >= uint32_t(kMenuLevels - 1)) return false;
  ++CurrentMenuLevel;
  ++MenuChanges;
  memset(&Current(), 0, sizeof(MenuLevel));
  return true;
}

bool OSDMenuPop() {
  if (CurrentMenuLevel == 0) return false;
  ReleaseItems(Current());
  --CurrentMenuLevel;
  ++MenuChanges;
  return true;
}

void OSDMenuModifyTitleRight(const char *Text) {
  if (!Text) return;
  CopyText(Current().TitleRight, Text, sizeof Current().TitleRight);
  TitleDirty = 1;
}
