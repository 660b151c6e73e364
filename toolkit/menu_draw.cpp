// menu_draw.cpp - painting the OSD menu (background, title, list with cursor
// bar and scroll bar, legend buttons, logo, memo), the icon table, the text
// wrappers, closing the menu, and the message box, info box and colour
// picker windows.
#include <string.h>

#include <iterator>

#include "tklib.h"

tMessageBox MessageBox;
uint32_t MessageBoxNoNormalMode = 0;
word MessageBoxOSDRgn = 0;
word InfoBoxOSDRgn = 0;
dword InfoBoxTimeOut = 0;
void *InfoBoxSaveArea = nullptr;
dword InfoBoxSaveAreaX = 0, InfoBoxSaveAreaY = 0;
word ColorPickerOSDRgn = 0;
dword ColorPickerColor = 0, ColorPickerDefaultColor = 0;
uint32_t CurrentColorSelected = 0;
int32_t ColorPickerLastCursorRed = -1, ColorPickerLastCursorGreen = -1,
        ColorPickerLastCursorBlue = -1;
word ProgressBarOSDRgn = 0, ProgressBarFullRgn = 0;
dword ProgressBarLastValue = 0;

namespace {

constexpr dword kScreenW = OSD_WIDTH, kScreenH = OSD_HEIGHT;
constexpr dword kBackground = 0xFF101010;
constexpr dword kListBackground = 0xFF1E1E1E;
constexpr dword kDisabledText = 0xFF80808C;
constexpr dword kBoxTitle = 0xFFE89211;
constexpr dword kListX = 60, kListW = 600;
constexpr dword kRowTop = 95, kRowPitch = 37;
constexpr dword kNoTextRight = 645;

// The cursor bar's tile, rendered once into a memory-only region and copied
// from there; the style it holds: 0 light, 1 dark, 2 none.
word cursorTileRgn = 0;
uint32_t cursorTileStyle = 2;

MenuLevel &Current() {
  return Menu[CurrentMenuLevel];
}

void Callback(uint32_t Section) {
  if (CallbackProcedure) CallbackProcedure(Section, OSDRgn);
}

const FontData *FontOfSize(byte Size) {
  switch (Size) {
  case 10:
    return &Calibri_10_FontData;
  case 12:
    return &Calibri_12_FontData;
  case 14:
    return &Calibri_14_FontData;
  case 16:
    return &Calibri_16_FontData;
  case 20:
    return &Calibri_20_FontData;
  default:
    return nullptr;
  }
}

void Text(dword X, dword Y, dword MaxX, const char *String, dword Colour, const FontData *Font,
          byte TruncateMode, byte Align) {
  FM_PutStringAA(OSDRgn, X, Y, MaxX, String, Colour, 0, Font, TruncateMode, Align, 1.0f);
}

void ReleaseCursorTile() {
  if (cursorTileRgn) TAP_Osd_Delete(cursorTileRgn);
  cursorTileRgn = 0;
  cursorTileStyle = 2;
}

bool CursorTile(uint32_t Style) {
  if (cursorTileRgn && cursorTileStyle == Style) return true;
  if (!cursorTileRgn) cursorTileRgn = TAP_Osd_Create(0, 0, 100, 34, 0, OSD_Flag_MemRgn);
  if (!cursorTileRgn) return false;
  const GraphicDescriptor *tile =
      Style == 0 ? &_SelectionBar_Blue_100x34_Gd : &_SelectionBar_Blue_100x34Dark_Gd;
  if (TAP_Osd_PutGd(cursorTileRgn, 0, 0, tile, 0) != 0) {
    ReleaseCursorTile();
    return false;
  }
  cursorTileStyle = Style;
  return true;
}

// Whole tiles side by side, then a strip of what is left.
void CursorTiles(uint32_t Style, dword X, dword Y, dword Width) {
  if (!CursorTile(Style)) return;
  dword x = X;
  for (dword n = Width / 100; n > 0; --n, x += 100)
    TAP_Osd_Copy(cursorTileRgn, OSDRgn, 0, 0, 100, 34, x, Y, 0);
  if (Width % 100) TAP_Osd_Copy(cursorTileRgn, OSDRgn, 0, 0, Width % 100, 34, x, Y, 0);
}

bool OtherWindowOpen(word Except) {
  const word open[] = {OSDRgn, InfoBoxOSDRgn, MessageBoxOSDRgn, ColorPickerOSDRgn,
                       ProgressBarOSDRgn};
  for (word r : open)
    if (r && r != Except) return true;
  return false;
}

// ---- the area under a box -------------------------------------------------------

// A region's origin on the screen, from the firmware's region table.
bool RegionOrigin(word Region, dword &X, dword &Y) {
  const byte *table = static_cast<const byte *>(FIS_vOsdMap());
  if (!table || !Region) return false;
  uint16_t xy[2];
  memcpy(xy, table + size_t(Region) * 16, sizeof xy);
  X = xy[0];
  Y = xy[1];
  return true;
}

void SaveUnderBox(dword X, dword Y, dword W, dword H) {
  InfoBoxSaveArea = nullptr;
  InfoBoxSaveAreaX = X;
  InfoBoxSaveAreaY = Y;
  if (MyOSDRgn) {
    dword rx, ry;
    if (RegionOrigin(MyOSDRgn, rx, ry) && X >= rx && Y >= ry)
      InfoBoxSaveArea = TAP_Osd_SaveBox(MyOSDRgn, X - rx, Y - ry, W, H);
  } else if (OSDRgn) {
    InfoBoxSaveArea = TAP_Osd_SaveBox(OSDRgn, X, Y, W, H);
  }
}

// Deletes a box and puts back what lay beneath.  Deleting a region leaves its
// pixels on the screen, so a box with nothing saved beneath it is cleared
// rather than left standing after it closed.
void CloseBox(word &Region, dword W, dword H) {
  if (!InfoBoxSaveArea) TAP_Osd_FillBox(Region, 0, 0, W, H, 0);
  TAP_Osd_Delete(Region);
  Region = 0;
  if (!InfoBoxSaveArea) return;
  if (MyOSDRgn) {
    dword rx, ry;
    if (RegionOrigin(MyOSDRgn, rx, ry) && InfoBoxSaveAreaX >= rx && InfoBoxSaveAreaY >= ry)
      TAP_Osd_RestoreBox(MyOSDRgn, InfoBoxSaveAreaX - rx, InfoBoxSaveAreaY - ry, W, H,
                         InfoBoxSaveArea);
  } else if (OSDRgn) {
    TAP_Osd_RestoreBox(OSDRgn, InfoBoxSaveAreaX, InfoBoxSaveAreaY, W, H, InfoBoxSaveArea);
  }
  TAP_MemFree(InfoBoxSaveArea);
  InfoBoxSaveArea = nullptr;
  MyOSDRgn = 0;
}

// Opens a box of W x H centred on the screen over a saved area.  The three
// boxes share the one save area, so whichever other box is open is closed
// first.
bool OpenBox(word &Region, dword W, dword H) {
  if (Region) return true;
  if (&Region != &InfoBoxOSDRgn) OSDMenuInfoBoxDestroyNoOSDUpdate();
  if (&Region != &MessageBoxOSDRgn) OSDMenuMessageBoxDestroyNoOSDUpdate();
  if (&Region != &ColorPickerOSDRgn && ColorPickerOSDRgn)
    CloseBox(ColorPickerOSDRgn, _ColorPicker_Gd.width, _ColorPicker_Gd.height);
  const dword x = (kScreenW - W) / 2, y = (kScreenH - H) / 2;
  SaveUnderBox(x, y, W, H);
  Region = TAP_Osd_Create(x, y, W, H, 0, 0);
  if (!Region) {
    if (InfoBoxSaveArea) TAP_MemFree(InfoBoxSaveArea);
    InfoBoxSaveArea = nullptr;
    return false;
  }
  TAP_ExitNormal();
  return true;
}

// Title and text lines of the message and info boxes.  The text breaks at
// each carriage return or line feed; the lines are centred as a block.
void BoxTexts(word Region, dword Width, const char *Title, const char *Body) {
  OSDMenuPutS(Region, 0, 10, Width, Title, kBoxTitle, 0, 14, TRUNC_CUT, ALIGN_CENTER);
  char text[256];
  strncpy(text, Body ? Body : "", sizeof text - 1);
  text[sizeof text - 1] = '\0';
  int lines = 1;
  for (const char *p = text; *p; ++p)
    if (*p == '\r' || *p == '\n') ++lines;
  char *line = text;
  for (int k = 0; k < lines; ++k) {
    char *end = line + strcspn(line, "\r\n");
    const bool last = *end == '\0';
    *end = '\0';
    const int y = 48 - 10 * lines + 29 + 20 * k;
    if (y >= 3)
      OSDMenuPutS(Region, 0, dword(y), Width, line, 0xFFC0C0C0, 0, 14, TRUNC_CUT, ALIGN_CENTER);
    if (last) break;
    line = end + 1;
  }
}

} // namespace

// ---- the text wrappers and the icon table -----------------------------------------

dword OSDMenuGetW(const char *Text, byte FontSize) {
  const FontData *font = FontOfSize(FontSize);
  return font ? FM_GetStringWidth(Text, font) : 0;
}

void OSDMenuPutS(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                 dword BackColour, byte FontSize, byte TruncateMode, byte Align) {
  const FontData *font = FontOfSize(FontSize);
  if (font)
    FM_PutStringAA(Region, X, Y - 3, MaxX, Text, Colour, BackColour, font, TruncateMode, Align,
                   1.0f);
}

const GraphicDescriptor *OSDMenuGetIconPointer(int IconIndex, const GraphicDescriptor *CustomIcon) {
  static const GraphicDescriptor *const kIcons[] = {nullptr,
                                                    &_Button_0_Gd,
                                                    &_Button_1_Gd,
                                                    &_Button_2_Gd,
                                                    &_Button_3_Gd,
                                                    &_Button_4_Gd,
                                                    &_Button_5_Gd,
                                                    &_Button_6_Gd,
                                                    &_Button_7_Gd,
                                                    &_Button_8_Gd,
                                                    &_Button_9_Gd,
                                                    &_Button_ar_Gd,
                                                    &_Button_audio_Gd,
                                                    &_Button_aux_Gd,
                                                    &_Button_blue_Gd,
                                                    &_Button_cut_Gd,
                                                    &_Button_down_Gd,
                                                    &_Button_exit_Gd,
                                                    &_Button_fav_Gd,
                                                    &_Button_ffwd_Gd,
                                                    &_Button_filelist_Gd,
                                                    &_Button_green_Gd,
                                                    &_Button_guide_Gd,
                                                    &_Button_info_Gd,
                                                    &_Button_jumpend_Gd,
                                                    &_Button_jumpstart_Gd,
                                                    &_Button_left_Gd,
                                                    &_Button_list_Gd,
                                                    &_Button_m_Gd,
                                                    &_Button_menu_Gd,
                                                    &_Button_mute_Gd,
                                                    &_Button_ok_Gd,
                                                    &_Button_option_Gd,
                                                    &_Button_pause_Gd,
                                                    &_Button_play_Gd,
                                                    &_Button_progminus_Gd,
                                                    &_Button_progplus_Gd,
                                                    &_Button_recall_Gd,
                                                    &_Button_record_Gd,
                                                    &_Button_red_Gd,
                                                    &_Button_right_Gd,
                                                    &_Button_rwd_Gd,
                                                    &_Button_sat_Gd,
                                                    &_Button_select_Gd,
                                                    &_Button_sleep_Gd,
                                                    &_Button_step_Gd,
                                                    &_Button_stop_Gd,
                                                    &_Button_subtitle_Gd,
                                                    &_Button_ttx_Gd,
                                                    &_Button_tv_radio_Gd,
                                                    &_Button_up_Gd,
                                                    &_Button_vf_Gd,
                                                    &_Button_volminus_Gd,
                                                    &_Button_volplus_Gd,
                                                    &_Button_white_Gd,
                                                    &_Button_yellow_Gd,
                                                    &_Button_nouse_Gd};
  static_assert(std::size(kIcons) == 57, "icons 0..56; 57 is the caller's own");
  if (IconIndex == 57) return CustomIcon;
  if (IconIndex < 0 || IconIndex >= int(std::size(kIcons))) return nullptr;
  return kIcons[IconIndex];
}

// ---- the menu ----------------------------------------------------------------

namespace {
void RememberPaint();
} // namespace

void OSDMenuUpdate(bool NoSync) {
  if (!OSDRgn) {
    TitleDirty = ListDirty = ButtonsDirty = LogoDirty = OSDDirty = 1;
    OSDRgn = TAP_Osd_Create(0, 0, kScreenW, kScreenH, 0, 0);
    TAP_ExitNormal();
  }
  if (OSDDirty) OSDDrawBackground();
  if (TitleDirty) OSDDrawTitle();
  if (LogoDirty) OSDDrawLogo();
  if (ButtonsDirty) OSDDrawButtons();
  OSDCalcIndices();
  if (ListDirty) {
    OSDDrawScrollBar();
    if (Current().MemoMode)
      OSDDrawMemo();
    else
      OSDDrawList();
  }
  RememberPaint();
  if (!NoSync) TAP_Osd_Sync();
}

void OSDDrawBackground() {
  TAP_Osd_Draw3dBoxFill(OSDRgn, 0, 0, kScreenW, kScreenH, kBackground, kBackground, kBackground);
  TAP_Osd_FillBox(OSDRgn, 50, 479, 614, 2, 0xFF808080);
}

void OSDDrawTitle() {
  const MenuLevel &level = Current();
  Text(53, 37, 658, level.TitleLeft, 0xFFE6E6FA, level.TitleFont, TRUNC_CUT, ALIGN_LEFT);
  Text(58 + FM_GetStringWidth(level.TitleLeft, level.TitleFont), 49, 658, level.TitleRight,
       0xFF666666, level.TitleRightFont, TRUNC_DOTS_END, ALIGN_RIGHT);
  Callback(0);
}

namespace {

// The icon columns' widths: the widest icon of any item, plus a gap.
void IconWidths(const MenuLevel &level, dword &NameIconW, dword &ValueIconW) {
  dword nameIconW = 0, valueIconW = 0;
  bool swatches = false;
  for (int32_t i = 0; i < level.ItemCount; ++i) {
    const MenuItem &item = level.Items[i];
    if (item.NameIcon && item.NameIcon->width > nameIconW) nameIconW = item.NameIcon->width;
    if (item.ValueIcon && item.ValueIcon->width > valueIconW) valueIconW = item.ValueIcon->width;
    if (item.ColourSwatch) swatches = true;
  }
  if (swatches && valueIconW < 50) valueIconW = 50;
  if (nameIconW) nameIconW += 8;
  if (valueIconW) valueIconW += 8;
  NameIconW = nameIconW;
  ValueIconW = valueIconW;
}

// One row of the page: everything it draws lies within its band of
// kRowPitch lines and between kListX and kListX + kListW.
void DrawRow(const MenuLevel &level, int r, dword nameIconW, dword valueIconW) {
  const int32_t i = level.TopIndex + r;
  const dword rowY = kRowTop + kRowPitch * dword(r), textY = rowY + 6, middle = rowY + 17;
  const bool exists = i >= 0 && i < level.ItemCount;
  const bool cursor = exists && i == level.SelectedIndex;
  if (cursor)
    OSDMenuDrawCursor(kListX, rowY, kListW);
  else
    TAP_Osd_DrawRectangle(OSDRgn, kListX, rowY + 35, kListW, 2, 1, kBackground);
  if (!exists) return;

  const MenuItem &item = level.Items[i];
  const dword colour = item.Selectable ? item.TextColour : kDisabledText;
  dword column = 76;
  if (level.Numbered) {
    char number[16];
    TAP_SPrint(number, "%2.2d", int(i + 1));
    const dword limit = i + 1 >= 1000 ? 120 : i + 1 >= 100 ? 110 : 100;
    Text(71, textY, limit, number, colour, level.NumberFont, TRUNC_CUT, ALIGN_LEFT);
    column = limit + 1;
  }
  if (item.NameIcon)
    TAP_Osd_PutGd(OSDRgn, int(column), int(middle) - item.NameIcon->height / 2, item.NameIcon, 1);
  Text(column + nameIconW, textY, level.ValueColumn ? level.ValueColumnX : kNoTextRight, item.Name,
       colour, level.NameFont, TRUNC_DOTS_END, ALIGN_LEFT);
  if (level.ValueColumn) {
    Text(level.ValueColumnX + valueIconW + 45, textY, kNoTextRight, item.Value, colour,
         level.ValueFont, TRUNC_DOTS_END, ALIGN_LEFT);
    if (item.ColourSwatch) {
      TAP_Osd_FillBox(OSDRgn, level.ValueColumnX + 45, rowY + 9, 50, 18,
                      item.ColourSwatch | 0xFF000000);
      TAP_Osd_DrawRectangle(OSDRgn, level.ValueColumnX + 45, rowY + 9, 50, 18, 1, 0xFFC0C0C0);
    } else if (item.ValueIcon) {
      TAP_Osd_PutGd(OSDRgn, int(level.ValueColumnX + 45), int(middle) - item.ValueIcon->height / 2,
                    item.ValueIcon, 1);
    }
    if (cursor && item.ValueArrows) {
      const bool bright = MenuCursorType != 0;
      TAP_Osd_PutGd(OSDRgn, int(level.ValueColumnX + 20), int(rowY + 10),
                    bright ? &_pfeil_l_bright_Gd : &_pfeil_l_Gd, 1);
      TAP_Osd_PutGd(OSDRgn, 640, int(rowY + 10), bright ? &_pfeil_r_bright_Gd : &_pfeil_r_Gd, 1);
    }
  }
}

// The list box's top and bottom (exclusive); the rows start one line above
// it and the last one ends two lines below it, on the background.
constexpr dword kListTop = 96, kListBottom = 96 + 367;

// A row's band as the full paint leaves it before the row is drawn.
void ClearRow(int r) {
  const dword top = kRowTop + kRowPitch * dword(r), bottom = top + kRowPitch;
  const dword listTop = top > kListTop ? top : kListTop;
  const dword listBottom = bottom < kListBottom ? bottom : kListBottom;
  if (top < listTop) TAP_Osd_FillBox(OSDRgn, kListX, top, kListW, listTop - top, kBackground);
  if (listTop < listBottom)
    TAP_Osd_FillBox(OSDRgn, kListX, listTop, kListW, listBottom - listTop, kListBackground);
  if (listBottom < bottom)
    TAP_Osd_FillBox(OSDRgn, kListX, listBottom, kListW, bottom - listBottom, kBackground);
}

// What the last paint of the list showed, for OSDMenuUpdateCursor.
struct Painted {
  bool valid;
  word region;
  uint32_t level, changes, cursorType;
  int32_t top, selected;
};
Painted painted = {};

void RememberPaint() {
  const MenuLevel &level = Current();
  painted.valid = !level.MemoMode && !CallbackProcedure && !level.Logo;
  painted.region = OSDRgn;
  painted.level = CurrentMenuLevel;
  painted.changes = MenuChanges;
  painted.cursorType = MenuCursorType;
  painted.top = level.TopIndex;
  painted.selected = level.SelectedIndex;
}

bool PaintStillShown() {
  const MenuLevel &level = Current();
  return painted.valid && OSDRgn && painted.region == OSDRgn && painted.level == CurrentMenuLevel &&
         painted.changes == MenuChanges && painted.cursorType == MenuCursorType &&
         !level.MemoMode && !CallbackProcedure && !level.Logo && !OtherWindowOpen(OSDRgn);
}

} // namespace

void OSDDrawList() {
  const MenuLevel &level = Current();
  dword nameIconW, valueIconW;
  IconWidths(level, nameIconW, valueIconW);
  TAP_Osd_FillBox(OSDRgn, kListX, kListTop, kListW, kListBottom - kListTop, kListBackground);
  for (int r = 0; r < kMenuRows; ++r) DrawRow(level, r, nameIconW, valueIconW);
  Callback(1);
}

void OSDMenuUpdateCursor(bool NoSync) {
  if (!PaintStillShown()) {
    OSDMenuUpdate(NoSync);
    return;
  }
  const MenuLevel &level = Current();
  // The band above the list holds the background and the title only.
  TAP_Osd_FillBox(OSDRgn, 0, 0, kScreenW, kRowTop, kBackground);
  OSDDrawTitle();
  OSDCalcIndices();
  OSDDrawScrollBar();
  dword nameIconW, valueIconW;
  IconWidths(level, nameIconW, valueIconW);
  for (int r = 0; r < kMenuRows; ++r) {
    const int32_t i = level.TopIndex + r;
    // On the same page only the rows the cursor left and reached change.
    if (level.TopIndex == painted.top && i != painted.selected && i != level.SelectedIndex)
      continue;
    ClearRow(r);
    DrawRow(level, r, nameIconW, valueIconW);
  }
  RememberPaint();
  if (!NoSync) TAP_Osd_Sync();
}

void OSDMenuDrawCursor(dword X, dword Y, dword Width) {
  switch (MenuCursorType) {
  case 0:
    CursorTiles(0, X, Y, Width);
    break;
  case 1:
    CursorTiles(0, X, Y, Width);
    if (Width > 4) CursorTiles(1, X + 2, Y, Width - 4);
    break;
  case 2: {
    const dword c = 0xFF5ACDEC;
    TAP_Osd_FillBox(OSDRgn, X, Y, Width, 2, c);
    TAP_Osd_FillBox(OSDRgn, X + Width - 2, Y, 2, 34, c);
    TAP_Osd_FillBox(OSDRgn, X, Y + 32, Width, 2, c);
    TAP_Osd_FillBox(OSDRgn, X, Y, 2, 34, c);
    break;
  }
  default:
    break;
  }
}

void OSDDrawScrollBar() {
  const MenuLevel &level = Current();
  if (level.ItemCount <= kMenuRows) {
    TAP_Osd_PutGd(OSDRgn, 662, 95, &_ScrollBarInvisible_Gd, 0);
    return;
  }
  TAP_Osd_PutGd(OSDRgn, 662, 95, &_ScrollBarVisible_Gd, 0);
  const int64_t knob = 108 + int64_t(level.SelectedIndex) * 321 / (level.ItemCount - 1);
  TAP_Osd_PutGd(OSDRgn, 663, int(knob), &_ScrollBarKnob_Gd, 0);
}

void OSDDrawButtons() {
  const MenuLevel &level = Current();
  for (uint32_t b = 0; b < level.ButtonCount && b < uint32_t(kMenuButtons); ++b) {
    const MenuButton &button = level.Buttons[b];
    TAP_Osd_PutGd(OSDRgn, int(button.X), int(button.Y), button.Icon, 1);
    Text(button.X + button.Icon->width + 2, button.Y, 670, button.Text, button.Colour,
         level.ButtonFont, TRUNC_CUT, ALIGN_LEFT);
  }
  Callback(2);
}

void OSDDrawLogo() {
  const MenuLevel &level = Current();
  if (level.Logo) TAP_Osd_PutGd(OSDRgn, int(level.LogoX), int(level.LogoY), level.Logo, 0);
  Callback(3);
}

void OSDDrawMemo() {
  const MenuLevel &level = Current();
  TAP_Osd_FillBox(OSDRgn, kListX, 96, kListW, 367, kListBackground);
  for (int i = 0; i < 15; ++i) {
    const int32_t item = level.TopIndex + i;
    if (item < 0 || item >= level.ItemCount) continue;
    Text(76, 104 + 24 * dword(i), 642, level.Items[item].Name, 0xFFFFFFFF, level.MemoFont,
         TRUNC_DOTS_END, ALIGN_LEFT);
  }
  Callback(1);
}

static void Destroy(bool Update) {
  ++MenuChanges;
  if (OSDRgn) {
    TAP_Osd_Delete(OSDRgn);
    if (Update) TAP_Osd_Sync();
    OSDRgn = 0;
    if (Update && !OtherWindowOpen(0)) TAP_EnterNormal();
  }
  ReleaseCursorTile();
  MenuLevel &level = Current();
  if (level.Items) TAP_MemFree(level.Items);
  level.Items = nullptr;
  level.ItemCount = level.ItemCapacity = 0;
  CallbackProcedure = nullptr;
}

void OSDMenuDestroy() {
  Destroy(true);
}

void OSDMenuDestroyNoOSDUpdate() {
  Destroy(false);
}

void OSDMenuSaveMyRegion(word Region) {
  MyOSDRgn = Region;
}

// ---- message box ---------------------------------------------------------------

void OSDMenuMessageBoxInitialize(const char *Title, const char *Text) {
  memset(&MessageBox, 0, sizeof MessageBox);
  strncpy(MessageBox.MessageBoxTitle, Title ? Title : "", sizeof MessageBox.MessageBoxTitle - 1);
  strncpy(MessageBox.MessageBoxText, Text ? Text : "", sizeof MessageBox.MessageBoxText - 1);
  MessageBoxNoNormalMode = 0;
}

bool OSDMenuMessageBoxButtonAdd(const char *Text) {
  if (!Text || MessageBox.MessageBoxButtonCount >= uint32_t(kMessageBoxButtons)) return false;
  char *slot = MessageBox.MessageBoxButtonText[MessageBox.MessageBoxButtonCount];
  strncpy(slot, Text, 255);
  slot[255] = '\0';
  ++MessageBox.MessageBoxButtonCount;
  return true;
}

void OSDMenuMessageBoxButtonSelect(dword SelectedButton) {
  if (SelectedButton < MessageBox.MessageBoxButtonCount)
    MessageBox.MessageBoxSelected = int32_t(SelectedButton);
}

void OSDMenuMessageBoxDoNotEnterNormalMode(bool DoNotEnterNormalMode) {
  MessageBoxNoNormalMode = DoNotEnterNormalMode;
}

dword OSDMenuMessageBoxLastButton() {
  return dword(uint32_t(MessageBox.MessageBoxSelected));
}

void OSDMenuMessageBoxShow() {
  const uint32_t count = MessageBox.MessageBoxButtonCount < uint32_t(kMessageBoxButtons)
                             ? MessageBox.MessageBoxButtonCount
                             : uint32_t(kMessageBoxButtons);
  if (count == 0) return;
  const dword w = _InfoBox_Gd.width, h = _InfoBox_Gd.height;
  if (!OpenBox(MessageBoxOSDRgn, w, h)) return;
  const word box = MessageBoxOSDRgn;
  TAP_Osd_PutGd(box, 0, 0, &_InfoBox_Gd, 0);
  BoxTexts(box, w, MessageBox.MessageBoxTitle, MessageBox.MessageBoxText);

  const GraphicDescriptor &highlight = _MessageBoxSelectedButtonBackground_Gd;
  const dword spacing = w / (count + 1);
  for (uint32_t k = 0; k < count; ++k) {
    const dword left = spacing * (k + 1) - highlight.width / 2;
    dword colour = 0xFFE6E6FA;
    if (int32_t(k) == MessageBox.MessageBoxSelected) {
      TAP_Osd_PutGd(box, int(left), 120, &highlight, 0);
      colour = 0xFF282828;
    } else {
      TAP_Osd_FillBox(box, left, 120, highlight.width, highlight.height, 0xFF242424);
    }
    OSDMenuPutS(box, left, 124, left + highlight.width, MessageBox.MessageBoxButtonText[k], colour,
                0, 14, TRUNC_CUT, ALIGN_CENTER);
  }
  TAP_Osd_Sync();
}

void OSDMenuMessageBoxDestroyNoOSDUpdate() {
  if (MessageBoxOSDRgn) CloseBox(MessageBoxOSDRgn, _InfoBox_Gd.width, _InfoBox_Gd.height);
}

void OSDMenuMessageBoxDestroy() {
  if (!MessageBoxOSDRgn) return;
  OSDMenuMessageBoxDestroyNoOSDUpdate();
  TAP_Osd_Sync();
  if (!OtherWindowOpen(0)) TAP_EnterNormal();
}

// ---- info box --------------------------------------------------------------------

void OSDMenuInfoBoxShow(const char *Title, const char *Text, dword Timeout) {
  const dword w = _InfoBox_Gd.width, h = _InfoBox_Gd.height;
  if (!OpenBox(InfoBoxOSDRgn, w, h)) return;
  TAP_Osd_PutGd(InfoBoxOSDRgn, 0, 0, &_InfoBox_Gd, 0);
  BoxTexts(InfoBoxOSDRgn, w, Title, Text);
  // A time-out beyond the tick counter's range means "until Exit".
  const dword now = TAP_GetTick();
  InfoBoxTimeOut = Timeout > ~dword(0) - now ? ~dword(0) : now + Timeout;
  TAP_Osd_Sync();
}

void OSDMenuInfoBoxDestroyNoOSDUpdate() {
  if (InfoBoxOSDRgn) CloseBox(InfoBoxOSDRgn, _InfoBox_Gd.width, _InfoBox_Gd.height);
}

void OSDMenuInfoBoxDestroy() {
  if (!InfoBoxOSDRgn) return;
  OSDMenuInfoBoxDestroyNoOSDUpdate();
  TAP_Osd_Sync();
  if (!OtherWindowOpen(0)) TAP_EnterNormal();
}

// ---- colour picker ---------------------------------------------------------------

void OSDMenuColorPickerShow(const char *Title, dword Color) {
  const dword w = _ColorPicker_Gd.width, h = _ColorPicker_Gd.height;
  if (!OpenBox(ColorPickerOSDRgn, w, h)) return;
  ColorPickerColor = ColorPickerDefaultColor = Color;
  CurrentColorSelected = 0;
  ColorPickerLastCursorRed = ColorPickerLastCursorGreen = ColorPickerLastCursorBlue = -1;
  TAP_Osd_PutGd(ColorPickerOSDRgn, 0, 0, &_ColorPicker_Gd, 0);
  OSDMenuPutS(ColorPickerOSDRgn, 0, 10, w, Title, kBoxTitle, 0, 14, TRUNC_CUT, ALIGN_CENTER);
  for (dword channel = 0; channel < 3; ++channel)
    OSDMenuColorPickerDrawCursor(channel, channel == CurrentColorSelected);
  TAP_Osd_Sync();
}

void OSDMenuColorPickerDrawCursor(dword Channel, bool Selected) {
  if (!ColorPickerOSDRgn || Channel > 2) return;
  const word rgn = ColorPickerOSDRgn;
  int32_t *const last[3] = {&ColorPickerLastCursorRed, &ColorPickerLastCursorGreen,
                            &ColorPickerLastCursorBlue};
  const dword sliderY = 56 + 22 * Channel, labelY = 44 + 22 * Channel;
  const dword value = (ColorPickerColor >> (16 - 8 * Channel)) & 0xFF;

  if (*last[Channel] >= 0)
    TAP_Osd_PutGd(rgn, *last[Channel], int(sliderY), &_ColorPicker_CursorNone_Gd, 0);
  *last[Channel] = int32_t(value + 8);
  TAP_Osd_PutGd(rgn, *last[Channel], int(sliderY), &_ColorPicker_CursorDeselected_Gd, 1);

  char text[8];
  TAP_SPrint(text, "%d", int(value));
  if (Selected) {
    TAP_Osd_PutGd(rgn, 280, int(labelY), &_ColorPicker_ValueBackroundSelected_Gd, 0);
    OSDMenuPutS(rgn, 280, labelY, 340, text, 0xFF282828, 0, 12, TRUNC_CUT, ALIGN_CENTER);
  } else {
    TAP_Osd_FillBox(rgn, 280, labelY, 60, 17, 0xFF282828);
    OSDMenuPutS(rgn, 280, labelY, 340, text, 0xFFC0C0C0, 0, 12, TRUNC_CUT, ALIGN_CENTER);
  }
  TAP_Osd_FillBox(rgn, 211, 116, 60, 18, ColorPickerColor | 0xFF000000);
  TAP_Osd_DrawRectangle(rgn, 211, 116, 60, 18, 1, 0xFFC0C0C0);
}

void OSDMenuColorPickerDestroy() {
  if (!ColorPickerOSDRgn) return;
  CloseBox(ColorPickerOSDRgn, _ColorPicker_Gd.width, _ColorPicker_Gd.height);
  TAP_Osd_Sync();
  if (!OtherWindowOpen(0)) TAP_EnterNormal();
}

dword OSDMenuColorPickerColor() {
  return ColorPickerColor;
}
