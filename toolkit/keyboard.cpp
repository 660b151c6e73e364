// keyboard.cpp - the on-screen keyboard: one line of text edited with the
// remote control or an attached keyboard, in a window of 26 character keys
// (seven switchable sets), Space, Backspace and OK, with the caller's legend.
#include <string.h>

#include "tklib.h"

char *OSDMenuKeyboard_StringVarOrig = nullptr;
char *OSDMenuKeyboard_StringVar = nullptr;
uint32_t OSDMenuKeyboard_StringMaxLen = 0;
char *OSDMenuKeyboard_Title = nullptr;
int32_t OSDMenuKeyboard_CursorPosition = 0;
int32_t OSDMenuKeyboard_TextStartPosition = 0;
int32_t KeyPadPosition = 0;
int32_t KeyPadMode = 0;
word OSDMenuKeyboard_rgn = 0;
bool OSDMenuKeyboard_GUIInitialized = false;
bool OSDMenuKeyboard_ReturnToNormal = false;
tOSDMenuKeyboard_Button OSDMenuKeyboard_Buttons[kKeyboardButtons];
uint32_t OSDMenuKeyboard_NrButtons = 0;
uint32_t OSDMenuKeyboard_ButtonsX[3];

// Latin-1 bytes.  The blank keys of sets 3 and 5 type a blank.
const char Keypad[kKeyboardSets][26][2] = {
    {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
     "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"},
    {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
     "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"},
    {"0",    "1",    "2",    "3",    "4", "5", "6", "7", "8", "9", "\xE4", "\xC4", "\xF6",
     "\xD6", "\xFC", "\xDC", "\xDF", ",", ";", ".", ":", "-", "_", "=",    "?",    "+"},
    {"\xC0", "\xE0", "\xC1", "\xE1", "\xC2", "\xE2", "\xC3", "\xE3", "\xC5",
     "\xE5", "\xC6", "\xE6", "\xC7", "\xE7", "\xC8", "\xE8", "\xC9", "\xE9",
     "\xCA", "\xEA", "\xCB", "\xEB", "\xD0", "\xF0", " ",    " "},
    {"\xCC", "\xEC", "\xCD", "\xED", "\xCE", "\xEE", "\xCF", "\xEF", "\xD1",
     "\xF1", "\xD2", "\xF2", "\xD3", "\xF3", "\xD4", "\xF4", "\xD5", "\xF5",
     "\xD8", "\xF8", "\xD9", "\xF9", "\xDA", "\xFA", "\xDB", "\xFB"},
    {"\xDD", "\xFD", "\xDE", "\xFE", "\xB5", " ", " ", " ", " ", " ", " ", " ", " ",
     " ",    " ",    " ",    " ",    " ",    " ", " ", " ", " ", " ", " ", " ", " "},
    {"!", "\"", "\xA7", "$", "%", "&", "/", "(", ")", "[", "]", "{",    "}",
     "<", ">",  "$",    "%", "&", "/", "*", "#", "|", "^", "~", "\xB0", "'"},
};

namespace {

constexpr dword kWinX = 138, kWinY = 96, kWinW = 444, kWinH = 383;
constexpr dword kEdgeLight = 0xFF808080, kEdgeDark = 0xFF464646;
constexpr dword kKeyFill = 0xFF282828, kFocusFill = 0xFFFFAF0E, kFocusLower = 0xFFFF901B;
constexpr dword kLabel = 0xFFE8E8E8, kFocusLabel = 0xFF080808;
constexpr dword kTextFill = 0xFF2D2D2D, kLegendText = 0xFFE6E6FA;
constexpr int kSpace = 26, kBackspace = 27, kOK = 28;
constexpr dword kTextLineWidth = 400;

// Row 3 holds 24, 25 and the three wide keys, each of them two columns.
int RowThreeKeyOfColumn(int column) {
  static const int kKey[8] = {24, 25, kSpace, kSpace, kBackspace, kBackspace, kOK, kOK};
  return kKey[column];
}
int ColumnOfRowThreeKey(int key) {
  static const int kColumn[5] = {0, 1, 2, 4, 6};
  return kColumn[key - 24];
}

int Length() {
  return int(strlen(OSDMenuKeyboard_StringVar));
}

void Insert(const char *Character) {
  if (uint32_t(Length()) >= OSDMenuKeyboard_StringMaxLen) return;
  InsertAt(OSDMenuKeyboard_StringVar, OSDMenuKeyboard_CursorPosition, Character);
  ++OSDMenuKeyboard_CursorPosition;
}

// Copies at most the maximum length of Text into the work copy.
void LoadText(const char *Text) {
  memset(OSDMenuKeyboard_StringVar, 0, OSDMenuKeyboard_StringMaxLen + 4);
  strncpy(OSDMenuKeyboard_StringVar, Text, OSDMenuKeyboard_StringMaxLen);
}

void ReleaseCopies() {
  if (OSDMenuKeyboard_StringVar) TAP_MemFree(OSDMenuKeyboard_StringVar);
  if (OSDMenuKeyboard_Title) TAP_MemFree(OSDMenuKeyboard_Title);
  OSDMenuKeyboard_StringVar = nullptr;
  OSDMenuKeyboard_Title = nullptr;
}

void MoveLeft() {
  const int p = KeyPadPosition;
  if (p >= 24)
    KeyPadPosition = p == 24 ? kOK : p - 1;
  else
    KeyPadPosition = p % 8 == 0 ? p + 7 : p - 1;
}

void MoveRight() {
  const int p = KeyPadPosition;
  if (p >= 24)
    KeyPadPosition = p == kOK ? 24 : p + 1;
  else
    KeyPadPosition = p % 8 == 7 ? p - 7 : p + 1;
}

void MoveUp() {
  const int p = KeyPadPosition;
  if (p < 8)
    KeyPadPosition = RowThreeKeyOfColumn(p);
  else if (p < 24)
    KeyPadPosition = p - 8;
  else
    KeyPadPosition = 16 + ColumnOfRowThreeKey(p);
}

void MoveDown() {
  const int p = KeyPadPosition;
  if (p < 16)
    KeyPadPosition = p + 8;
  else if (p < 24)
    KeyPadPosition = RowThreeKeyOfColumn(p - 16);
  else
    KeyPadPosition = ColumnOfRowThreeKey(p);
}

void DeleteLeft() {
  if (OSDMenuKeyboard_CursorPosition > 0) {
    DeleteAt(OSDMenuKeyboard_StringVar, OSDMenuKeyboard_CursorPosition - 1, 1);
    --OSDMenuKeyboard_CursorPosition;
  }
}

void StarRule() {
  char *text = OSDMenuKeyboard_StringVar;
  if (uint32_t(Length()) < OSDMenuKeyboard_StringMaxLen && text[0] != '*') InsertAt(text, 0, "*");
  const int length = Length();
  if (uint32_t(length) < OSDMenuKeyboard_StringMaxLen && (length == 0 || text[length - 1] != '*'))
    strcat(text, "*");
}

void OkOnKey() {
  if (KeyPadPosition < 26)
    Insert(Keypad[KeyPadMode][KeyPadPosition]);
  else if (KeyPadPosition == kSpace)
    Insert(" ");
  else if (KeyPadPosition == kBackspace)
    DeleteLeft();
}

// A remote-control key; 1 when it closed the keyboard.
int RemoteKey(dword key) {
  switch (key) {
  case RKEY_Left:
  case RKEY_VolDown:
    MoveLeft();
    break;
  case RKEY_Right:
  case RKEY_VolUp:
    MoveRight();
    break;
  case RKEY_Up:
  case RKEY_ChDown:
    MoveUp();
    break;
  case RKEY_Down:
  case RKEY_ChUp:
    MoveDown();
    break;
  case RKEY_Info:
  case RKEY_Play:
    KeyPadMode = (KeyPadMode + 1) % kKeyboardSets;
    break;
  case RKEY_Ok:
    if (KeyPadPosition == kOK) {
      OSDMenuKeyboard_SaveAndFinish();
      return 1;
    }
    OkOnKey();
    break;
  case RKEY_Exit:
    OSDMenuKeyboard_SaveAndFinish();
    return 1;
  case RKEY_Recall:
    LoadText(OSDMenuKeyboard_StringVarOrig);
    OSDMenuKeyboard_CursorPosition = Length();
    break;
  case RKEY_F3:
    StarRule();
    break;
  case RKEY_F4:
    OSDMenuKeyboard_StringVar[0] = '\0';
    OSDMenuKeyboard_CursorPosition = 0;
    break;
  case RKEY_Rewind:
    OSDMenuKeyboard_DeleteLeft();
    return 0;
  case RKEY_Forward:
    OSDMenuKeyboard_DeleteRight();
    return 0;
  case RKEY_Slow:
    OSDMenuKeyboard_CursorEnd();
    return 0;
  case RKEY_Prev:
    OSDMenuKeyboard_CursorLeft();
    return 0;
  case RKEY_Next:
    OSDMenuKeyboard_CursorRight();
    return 0;
  default:
    return 0;
  }
  OSDMenuKeyboard_Draw();
  return 0;
}

// A character from an attached keyboard; 1 when it closed the keyboard.
int KeyboardCharacter(dword code) {
  switch (code) {
  case 27:
  case 368:
    OSDMenuKeyboard_Finish();
    return 1;
  case 13:
  case 369:
    OSDMenuKeyboard_SaveAndFinish();
    return 1;
  case 8:
    OSDMenuKeyboard_DeleteLeft();
    return 0;
  case 127:
    OSDMenuKeyboard_DeleteRight();
    return 0;
  case 291:
    OSDMenuKeyboard_CursorEnd();
    return 0;
  case 292:
    OSDMenuKeyboard_CursorPosition = 0;
    break;
  case 293:
    OSDMenuKeyboard_CursorLeft();
    return 0;
  case 295:
    OSDMenuKeyboard_CursorRight();
    return 0;
  case 371:
    OSDMenuKeyboard_StringVar[0] = '\0';
    OSDMenuKeyboard_CursorPosition = 0;
    break;
  default:
    if ((code >= 32 && code <= 126) || (code >= 160 && code <= 255)) {
      const char character[2] = {char(code), '\0'};
      Insert(character);
      break;
    }
    return 0;
  }
  OSDMenuKeyboard_Draw();
  return 0;
}

// ---- drawing ------------------------------------------------------------------

void PutText(dword X, dword Y, dword MaxX, const char *Text, dword Colour, byte Align,
             byte TruncateMode) {
  FM_PutStringAA(OSDMenuKeyboard_rgn, X, Y, MaxX, Text, Colour, 0, &Calibri_14_FontData,
                 TruncateMode, Align, 1.0f);
}

void DrawKey(int Key) {
  dword x, y, w = 50;
  if (Key < 24) {
    x = 22 + 50 * dword(Key % 8);
    y = 56 + 50 * dword(Key / 8);
  } else {
    x = 22 + 50 * dword(ColumnOfRowThreeKey(Key));
    y = 56 + 150;
    if (Key >= kSpace) w = 100;
  }
  const bool focus = Key == KeyPadPosition;
  if (focus) {
    TAP_Osd_Draw3dBoxFill(OSDMenuKeyboard_rgn, x, y, w, 50, kEdgeDark, kEdgeLight, kFocusFill);
    TAP_Osd_FillBox(OSDMenuKeyboard_rgn, x + 2, y + 25, w - 4, 23, kFocusLower);
  } else {
    TAP_Osd_Draw3dBoxFill(OSDMenuKeyboard_rgn, x, y, w, 50, kEdgeLight, kEdgeDark, kKeyFill);
  }
  static const char *const kWide[3] = {"Space", "Backspace", "OK"};
  const char *label = Key < 26 ? Keypad[KeyPadMode][Key] : kWide[Key - kSpace];
  PutText(x, y + 14, x + w, label, focus ? kFocusLabel : kLabel, ALIGN_CENTER, TRUNC_CUT);
}

// The part of the text before the cursor, measured and drawn without a copy:
// the work copy is cut at the cursor for a moment.
dword WidthBetween(int From, int To) {
  char *text = OSDMenuKeyboard_StringVar;
  const char kept = text[To];
  text[To] = '\0';
  const dword width = FM_GetStringWidth(text + From, &Calibri_14_FontData);
  text[To] = kept;
  return width;
}

void DrawTextLine() {
  char *text = OSDMenuKeyboard_StringVar;
  const int cursor = OSDMenuKeyboard_CursorPosition;
  int &start = OSDMenuKeyboard_TextStartPosition;
  if (start > cursor) start = cursor;
  while (start < cursor && WidthBetween(start, cursor) + _TextCursor14_Gd.width >= kTextLineWidth)
    ++start;

  const word rgn = OSDMenuKeyboard_rgn;
  TAP_Osd_FillBox(rgn, 4, 280, 436, 22, kTextFill);
  dword x = 6;
  if (start > 0) {
    PutText(x, 282, 415, "...", kLabel, ALIGN_LEFT, TRUNC_DOTS_END);
    x += FM_GetStringWidth("...", &Calibri_14_FontData);
  }
  const char kept = text[cursor];
  text[cursor] = '\0';
  PutText(x, 282, 415, text + start, kLabel, ALIGN_LEFT, TRUNC_DOTS_END);
  x += FM_GetStringWidth(text + start, &Calibri_14_FontData);
  text[cursor] = kept;
  TAP_Osd_PutGd(rgn, int(x), 286, &_TextCursor14_Gd, 1);
  x += _TextCursor14_Gd.width;
  PutText(x, 282, 415, text + cursor, kLabel, ALIGN_LEFT, TRUNC_DOTS_END);
}

} // namespace

bool OSDMenuKeyboard_Setup(const char *Title, char *Text, dword MaxLength) {
  OSDMenuKeyboard_Finish();
  // The work copy's size must not wrap around on the receiver's 32 bits.
  if (!Text || MaxLength > 0x7FFFFFF0) return false;
  const char *title = Title ? Title : "";
  OSDMenuKeyboard_Title = static_cast<char *>(TAP_MemAlloc(dword(strlen(title) + 1)));
  OSDMenuKeyboard_StringVar = static_cast<char *>(TAP_MemAlloc(MaxLength + 4));
  if (!OSDMenuKeyboard_Title || !OSDMenuKeyboard_StringVar) {
    ReleaseCopies();
    return false;
  }
  strcpy(OSDMenuKeyboard_Title, title);
  OSDMenuKeyboard_StringMaxLen = uint32_t(MaxLength);
  LoadText(Text);
  OSDMenuKeyboard_StringVarOrig = Text;
  OSDMenuKeyboard_NrButtons = 0;
  OSDMenuKeyboard_TextStartPosition = 0;
  OSDMenuKeyboard_CursorPosition = Length();
  OSDMenuKeyboard_GUIInitialized = false;
  return true;
}

void OSDMenuKeyboard_LegendButton(dword Line, dword IconIndex, const char *Text) {
  if (OSDMenuKeyboard_NrButtons >= uint32_t(kKeyboardButtons)) return;
  tOSDMenuKeyboard_Button &b = OSDMenuKeyboard_Buttons[OSDMenuKeyboard_NrButtons++];
  b.Line = uint32_t(Line);
  b.IconIndex = uint32_t(IconIndex);
  memset(b.Text, 0, sizeof b.Text);
  strncpy(b.Text, Text ? Text : "", sizeof b.Text - 1);
}

int OSDMenuKeyboard_EventHandler(word *Event, dword *Param1, dword *) {
  if (!OSDMenuKeyboard_StringVarOrig || !Event) return 0;
  if (!OSDMenuKeyboard_GUIInitialized) {
    OSDMenuKeyboard_CursorPosition = Length();
    OSDMenuKeyboard_TextStartPosition = 0;
    KeyPadPosition = 0;
    OSDMenuKeyboard_Draw();
    OSDMenuKeyboard_TMSRemoteDirectMode(true);
    OSDMenuKeyboard_GUIInitialized = true;
  }
  if (*Event == EVT_KEY && Param1) {
    const dword key = *Param1;
    *Param1 = 0;
    return RemoteKey(key);
  }
  if (*Event == EVT_KEYBOARD && Param1) return KeyboardCharacter(*Param1);
  return 0;
}

void OSDMenuKeyboard_SaveAndFinish() {
  if (OSDMenuKeyboard_StringVarOrig && OSDMenuKeyboard_StringVar)
    strcpy(OSDMenuKeyboard_StringVarOrig, OSDMenuKeyboard_StringVar);
  OSDMenuKeyboard_Finish();
}

// Also releases a keyboard that was set up but never shown (its owner ended
// before the first event reached it); only an open window is closed.
void OSDMenuKeyboard_Finish() {
  if (!OSDMenuKeyboard_StringVarOrig) return;
  ReleaseCopies();
  if (OSDMenuKeyboard_rgn) {
    TAP_Osd_Delete(OSDMenuKeyboard_rgn);
    OSDMenuKeyboard_rgn = 0;
    if (OSDMenuKeyboard_ReturnToNormal) TAP_EnterNormalNoInfo();
    OSDMenuKeyboard_ReturnToNormal = false;
  }
  if (OSDMenuKeyboard_GUIInitialized) OSDMenuKeyboard_TMSRemoteDirectMode(false);
  OSDMenuKeyboard_GUIInitialized = false;
  OSDMenuKeyboard_StringVarOrig = nullptr;
}

void OSDMenuKeyboard_CursorLeft() {
  if (OSDMenuKeyboard_CursorPosition > 0) --OSDMenuKeyboard_CursorPosition;
  OSDMenuKeyboard_Draw();
}

void OSDMenuKeyboard_CursorRight() {
  if (OSDMenuKeyboard_CursorPosition < Length()) ++OSDMenuKeyboard_CursorPosition;
  OSDMenuKeyboard_Draw();
}

void OSDMenuKeyboard_CursorEnd() {
  OSDMenuKeyboard_CursorPosition = Length();
  OSDMenuKeyboard_Draw();
}

void OSDMenuKeyboard_DeleteLeft() {
  DeleteLeft();
  OSDMenuKeyboard_Draw();
}

void OSDMenuKeyboard_DeleteRight() {
  if (OSDMenuKeyboard_CursorPosition < Length())
    DeleteAt(OSDMenuKeyboard_StringVar, OSDMenuKeyboard_CursorPosition, 1);
  OSDMenuKeyboard_Draw();
}

void OSDMenuKeyboard_Draw() {
  if (!OSDMenuKeyboard_StringVar) return;
  if (!OSDMenuKeyboard_rgn) {
    dword state = 0, subState = 0;
    TAP_GetState(&state, &subState);
    OSDMenuKeyboard_ReturnToNormal = state == STATE_Normal && subState == SUBSTATE_Normal;
    TAP_ExitNormal();
    OSDMenuKeyboard_rgn = TAP_Osd_Create(kWinX, kWinY, kWinW, kWinH, 0, 0);
    if (!OSDMenuKeyboard_rgn) return;
  }
  const word rgn = OSDMenuKeyboard_rgn;
  TAP_Osd_FillBox(rgn, 0, 0, kWinW, kWinH, 0xFF101010);
  TAP_Osd_Draw3dBoxFill(rgn, 0, 0, kWinW, 36, kEdgeDark, kEdgeDark, 0xFF202020);
  PutText(5, 10, 440, OSDMenuKeyboard_Title, 0xFFE89211, ALIGN_CENTER, TRUNC_CUT);
  TAP_Osd_Draw3dBoxFill(rgn, 0, 34, kWinW, 244, kEdgeDark, kEdgeDark, kKeyFill);
  TAP_Osd_Draw3dBoxFill(rgn, 0, 276, kWinW, 30, kEdgeDark, kEdgeDark, kKeyFill);
  for (int key = 0; key < kKeyboardKeys; ++key) DrawKey(key);
  DrawTextLine();

  for (uint32_t &x : OSDMenuKeyboard_ButtonsX) x = 10;
  TAP_Osd_Draw3dBoxFill(rgn, 0, 306, kWinW, 77, kEdgeDark, kEdgeDark, kKeyFill);
  for (uint32_t b = 0; b < OSDMenuKeyboard_NrButtons; ++b)
    OSDMenuKeyboard_DrawLegendButton(OSDMenuKeyboard_Buttons[b].Line,
                                     OSDMenuKeyboard_Buttons[b].IconIndex,
                                     OSDMenuKeyboard_Buttons[b].Text);
  TAP_Osd_Sync();
}

void OSDMenuKeyboard_DrawLegendButton(dword Line, dword IconIndex, const char *Text) {
  static const dword kLineY[3] = {312, 336, 360};
  if (Line < 1 || Line > 3 || !OSDMenuKeyboard_rgn) return;
  // An index that names no icon has nothing to show; the record is skipped.
  const GraphicDescriptor *icon =
      IconIndex < 57 ? OSDMenuGetIconPointer(int(IconIndex), nullptr) : nullptr;
  if (!icon) return;
  uint32_t &x = OSDMenuKeyboard_ButtonsX[Line - 1];
  TAP_Osd_PutGd(OSDMenuKeyboard_rgn, int(x), int(kLineY[Line - 1]), icon, 1);
  FM_PutString(OSDMenuKeyboard_rgn, x + icon->width + 2, kLineY[Line - 1], 430, Text, kLegendText,
               0, &Calibri_12_FontData, TRUNC_CUT, ALIGN_LEFT);
  x += uint32_t(icon->width + FM_GetStringWidth(Text, &Calibri_12_FontData) + 6);
}

void OSDMenuKeyboard_TMSRemoteDirectMode(bool On) {
  TAPCOM_CloseChannel(TAPCOM_OpenChannel(kRemoteDirectModeID, On ? 1 : 2, 0, 0));
}
