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

// Room for one more item: grows the storage by kMenuItemStep records.  The
// old block is handed to the caller to release once the new item is copied,
// since its texts may come from the very items being moved.
static bool MakeRoom(MenuLevel &level, MenuItem *&Retired) {
  Retired = nullptr;
  if (level.ItemCount < level.ItemCapacity) return true;
  const int32_t capacity = level.ItemCapacity + kMenuItemStep;
  const dword bytes = dword(capacity) * dword(sizeof(MenuItem));
  MenuItem *items = static_cast<MenuItem *>(TAP_MemAlloc_Chk("OSDMenuItemAdd", bytes));
  if (!items) return false;
  memset(items, 0, bytes);
  if (level.Items) memcpy(items, level.Items, size_t(level.ItemCount) * sizeof(MenuItem));
  Retired = level.Items;
  level.Items = items;
  level.ItemCapacity = capacity;
  return true;
}

bool OSDMenuInitialize(bool SpareFlag, bool ValueColumn, bool Numbered, bool WrapAround,
                       const char *TitleLeft, const char *TitleRight) {
  MenuLevel &level = Current();
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
  return true;
}

void OSDMenuItemsClear() {
  Current().ItemCount = 0;
  ListDirty = 1;
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
  level.ButtonLineX[Line] += icon->width + OSDMenuGetW(Text, 12) + 8;
  return true;
}

void OSDMenuButtonsClear() {
  MenuLevel &level = Current();
  level.ButtonCount = 0;
  for (uint32_t &x : level.ButtonLineX) x = kButtonLineStart;
  ButtonColor = kDefaultButtonColor;
  ButtonsDirty = 1;
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

// The same exchange scheme for every order: each item i is compared with
// every later item j and the two records change places when Swap says so.
template <class SwapRule> static void ExchangeSort(SwapRule Swap) {
  MenuLevel &level = Current();
  for (int32_t i = 0; i + 1 < level.ItemCount; ++i)
    for (int32_t j = i + 1; j < level.ItemCount; ++j)
      if (Swap(level.Items[i], level.Items[j])) {
        MenuItem t = level.Items[i];
        level.Items[i] = level.Items[j];
        level.Items[j] = t;
      }
  ListDirty = 1;
}

void OSDMenuItemSortID(bool Ascending) {
  ExchangeSort([Ascending](const MenuItem &a, const MenuItem &b) {
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

// strcmp, or strcasecmp, with Latin-1 letters taken as their base letter.
static int CompareText(const char *x, const char *y, bool CaseSensitive) {
  for (;; ++x, ++y) {
    int a = BaseLetter(byte(*x)), b = BaseLetter(byte(*y));
    if (!CaseSensitive) {
      if (a >= 'A' && a <= 'Z') a += 'a' - 'A';
      if (b >= 'A' && b <= 'Z') b += 'a' - 'A';
    }
    if (a != b || a == 0) return a - b;
  }
}

static void SortByText(bool Ascending, bool CaseSensitive, size_t Field) {
  ExchangeSort([=](const MenuItem &a, const MenuItem &b) {
    const char *x = SortKey(reinterpret_cast<const char *>(&a) + Field);
    const char *y = SortKey(reinterpret_cast<const char *>(&b) + Field);
    const int c = CompareText(x, y, CaseSensitive);
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
  memset(&Current(), 0, sizeof(MenuLevel));
  return true;
}

bool OSDMenuPop() {
  if (CurrentMenuLevel == 0) return false;
  ReleaseItems(Current());
  --CurrentMenuLevel;
  return true;
}

void OSDMenuModifyTitleRight(const char *Text) {
  if (!Text) return;
  CopyText(Current().TitleRight, Text, sizeof Current().TitleRight);
  TitleDirty = 1;
}
