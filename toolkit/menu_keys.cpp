// menu_keys.cpp - moving the OSD menu's cursor (steps, pages, direct
// selection, wrap-around, items the cursor skips), keeping the visible page
// in line with it, and the toolkit's entry for firmware events, which also
// serves the info box, message box and colour picker.
#include "tklib.h"

static MenuLevel &Current() {
  return Menu[CurrentMenuLevel];
}

static bool AnySelectable(const MenuLevel &level) {
  for (int32_t i = 0; i < level.ItemCount; ++i)
    if (level.Items[i].Selectable) return true;
  return false;
}

int OSDMenuFindNextSelectableEntry(int From) {
  const MenuLevel &level = Current();
  if (From >= level.ItemCount - 1 && !level.WrapAround) return From;
  if (level.ItemCount <= 0 || !level.Items || !AnySelectable(level)) return -1;
  // A start before the first item searches from the first.
  int i = From < -1 ? 0 : From + 1;
  for (;;) {
    if (i >= level.ItemCount) {
      if (!level.WrapAround) return -1;
      i = 0;
    }
    if (level.Items[i].Selectable) return i;
    ++i;
  }
}

int OSDMenuFindPreviousSelectableEntry(int From) {
  const MenuLevel &level = Current();
  if (From < 0 && !level.WrapAround) return -1;
  if (level.ItemCount <= 0 || !level.Items || !AnySelectable(level)) return -1;
  // A start beyond the last item searches from the last.
  int i = From > level.ItemCount ? level.ItemCount - 1 : From - 1;
  for (;;) {
    if (i < 0) {
      if (!level.WrapAround) return -1;
      i = level.ItemCount - 1;
    }
    if (level.Items[i].Selectable) return i;
    --i;
  }
}

static int MoveTo(int Index) {
  if (Index == -1) return -1;
  Current().SelectedIndex = Index;
  ListDirty = 1;
  return Index;
}

int OSDMenuScrollUp() {
  return MoveTo(OSDMenuFindPreviousSelectableEntry(Current().SelectedIndex));
}

int OSDMenuScrollDown() {
  return MoveTo(OSDMenuFindNextSelectableEntry(Current().SelectedIndex));
}

int OSDMenuScrollPageUp() {
  const MenuLevel &level = Current();
  const int selected = level.SelectedIndex;
  if (selected == 0 && level.WrapAround)
    return MoveTo(OSDMenuFindPreviousSelectableEntry(level.ItemCount));
  if (selected == level.TopIndex) {
    const int up = selected - kMenuRows;
    return MoveTo(OSDMenuFindPreviousSelectableEntry((up > 0 ? up : 0) + 1));
  }
  return MoveTo(OSDMenuFindPreviousSelectableEntry(level.TopIndex + 1));
}

int OSDMenuScrollPageDown() {
  const MenuLevel &level = Current();
  const int selected = level.SelectedIndex, count = level.ItemCount, top = level.TopIndex;
  if (selected == count - 1 && level.WrapAround) return MoveTo(OSDMenuFindNextSelectableEntry(-1));
  if (selected == top + kMenuRows - 1) {
    const int target = top + 2 * kMenuRows - 2 < count ? top + 2 * kMenuRows - 2 : count - 2;
    return MoveTo(target < count - 1 ? OSDMenuFindNextSelectableEntry(target) : target);
  }
  const int bottom = top + kMenuRows - 2 < count - 2 ? top + kMenuRows - 2 : count - 2;
  return MoveTo(OSDMenuFindNextSelectableEntry(bottom));
}

static int Clamp(int Index, int Count) {
  if (Index < 0) return 0;
  return Index >= Count ? Count - 1 : Index;
}

bool OSDMenuSelectItem(int Index) {
  MenuLevel &level = Current();
  if (level.ItemCount <= 0 || !level.Items) return false;
  Index = Clamp(Index, level.ItemCount);
  if (Index == level.SelectedIndex) return true;
  if (!level.Items[Index].Selectable) return false;
  level.SelectedIndex = Index;
  ListDirty = 1;
  return true;
}

bool OSDMenuSelectTopItem(int Index) {
  MenuLevel &level = Current();
  if (level.ItemCount <= 0) return false;
  Index = Clamp(Index, level.ItemCount);
  if (Index != level.TopIndex) {
    level.TopIndex = Index;
    ListDirty = 1;
  }
  return true;
}

void OSDCalcIndices() {
  MenuLevel &level = Current();
  if (level.MemoMode) {
    level.TopIndex = level.SelectedIndex;
    return;
  }
  if (level.SelectedIndex < level.TopIndex) level.TopIndex = level.SelectedIndex;
  if (level.TopIndex + kMenuRows - 1 < level.SelectedIndex)
    level.TopIndex = level.SelectedIndex - (kMenuRows - 1);
}

// ---- events --------------------------------------------------------------------

static bool Consume(dword *Param1) {
  *Param1 = 0;
  return true;
}

static bool InfoBoxEvent(word Event, dword *Param1) {
  if (Event == EVT_KEY) {
    if (*Param1 == RKEY_Exit) OSDMenuInfoBoxDestroy();
    return Consume(Param1);
  }
  if (Event == EVT_IDLE && TAP_GetTick() > InfoBoxTimeOut) OSDMenuInfoBoxDestroy();
  return false;
}

static void CloseMessageBox() {
  if (MessageBoxNoNormalMode)
    OSDMenuMessageBoxDestroyNoOSDUpdate();
  else
    OSDMenuMessageBoxDestroy();
}

static bool MessageBoxEvent(dword *Param1) {
  tMessageBox &box = MessageBox;
  switch (*Param1) {
  case RKEY_Right:
    if (box.MessageBoxSelected + 1 < int32_t(box.MessageBoxButtonCount)) {
      ++box.MessageBoxSelected;
      OSDMenuMessageBoxShow();
    }
    break;
  case RKEY_Left:
    if (box.MessageBoxSelected > 0) {
      --box.MessageBoxSelected;
      OSDMenuMessageBoxShow();
    }
    break;
  case RKEY_Ok:
    CloseMessageBox();
    break;
  case RKEY_Exit:
    box.MessageBoxSelected = -1;
    CloseMessageBox();
    break;
  default:
    break;
  }
  return Consume(Param1);
}

static void SelectChannel(uint32_t Channel) {
  if (Channel == CurrentColorSelected) return;
  OSDMenuColorPickerDrawCursor(CurrentColorSelected, false);
  CurrentColorSelected = Channel;
  OSDMenuColorPickerDrawCursor(CurrentColorSelected, true);
  TAP_Osd_Sync();
}

static bool ColorPickerEvent(dword *Param1) {
  const uint32_t shift = 16 - 8 * (CurrentColorSelected > 2 ? 0 : CurrentColorSelected);
  const int value = int((ColorPickerColor >> shift) & 0xFF);
  int changed = value;
  switch (*Param1) {
  case RKEY_Left:
    if (value > 0) changed = value - 1;
    break;
  case RKEY_Right:
    if (value < 255) changed = value + 1;
    break;
  case RKEY_Down:
    changed = value > 10 ? value - 10 : 0;
    break;
  case RKEY_Up:
    changed = value < 245 ? value + 10 : 255;
    break;
  case RKEY_NewF1:
    SelectChannel(0);
    break;
  case RKEY_F2:
    SelectChannel(1);
    break;
  case RKEY_F4:
    SelectChannel(2);
    break;
  case RKEY_Ok:
    OSDMenuColorPickerDestroy();
    break;
  case RKEY_Exit:
    ColorPickerColor = ColorPickerDefaultColor;
    OSDMenuColorPickerDestroy();
    break;
  default:
    break;
  }
  if (changed != value) {
    ColorPickerColor = (ColorPickerColor & ~(dword(0xFF) << shift)) | dword(changed) << shift;
    OSDMenuColorPickerDrawCursor(CurrentColorSelected, true);
    TAP_Osd_Sync();
  }
  return Consume(Param1);
}

// The cursor keys of the list: each moves the cursor and nothing else.
static bool MoveCursor(dword Key) {
  const bool arrows = Current().ArrowItems != 0;
  switch (Key) {
  case RKEY_Up:
    OSDMenuScrollUp();
    return true;
  case RKEY_Down:
    OSDMenuScrollDown();
    return true;
  case RKEY_Left:
    if (arrows) return false;
    OSDMenuScrollPageUp();
    return true;
  case RKEY_Right:
    if (arrows) return false;
    OSDMenuScrollPageDown();
    return true;
  case RKEY_ChUp:
  case RKEY_VolUp:
    OSDMenuScrollPageUp();
    return true;
  case RKEY_ChDown:
  case RKEY_VolDown:
    OSDMenuScrollPageDown();
    return true;
  default:
    return false;
  }
}

static bool MenuEvent(dword *Param1) {
  if (!MoveCursor(*Param1)) return false;
  OSDMenuUpdate(false);
  return Consume(Param1);
}

bool OSDMenuCursorKey(dword Key) {
  if (!OSDRgn || InfoBoxOSDRgn || MessageBoxOSDRgn || ColorPickerOSDRgn) return false;
  return MoveCursor(Key);
}

bool OSDMenuEvent(word *Event, dword *Param1, dword *Param2) {
  (void)Param2;
  const word event = Event ? *Event : word(EVT_IDLE);
  // A key event without its key code is nothing any window could act on.
  const bool key = event == EVT_KEY && Param1;
  if (InfoBoxOSDRgn) {
    if (event == EVT_KEY && !Param1) return false;
    return InfoBoxEvent(event, Param1);
  }
  if (MessageBoxOSDRgn) return key && MessageBoxEvent(Param1);
  if (ColorPickerOSDRgn) return key && ColorPickerEvent(Param1);
  if (OSDRgn) return key && MenuEvent(Param1);
  return false;
}
