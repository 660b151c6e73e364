// tklib.h - the toolkit library compiled into the plug-in: OSD menus, the
// on-screen keyboard, fonts, INI files and the file, string, time, key and
// firmware helpers.
#ifndef TKLIB_H
#define TKLIB_H

#include <stdint.h>

#include "tap.h"

extern const char *__tklib_version__;

// ---- firmware introspection (firmware objects found by name) -------------
void *TryResolve(const char *Symbol);
void *FIS_vOsdMap();
dword *FIS_vTAPTable();
void *FIS_vCurTapTask();
void *FIS_fwAppl_EnterNormal();
bool InitTAPex();
word GetSysID();
// 1 with pointers to the model file's start, its first model record and the
// table after the records (each output optional), else 0.
bool LoadFirmwareDat(const uint32_t **Header, const unsigned char **Records,
                     const unsigned char **Tail);
// Gives the kept model file back to the heap; the plug-in calls it when it
// ends, so that it leaves no block behind.
void ReleaseFirmwareDat();
extern bool LibInitialized;
extern word ApplID;
extern int TAP_TableIndex;

// ---- plug-in files and the loaded plug-ins ------------------------------------
// A plug-in file's identity, from its ELF sections.
struct tTAPInfo {
  uint32_t TAPID;
  dword Date; // build date as an MJD, 0 when not given
  char TAPName[64];
  char AuthorName[64];
  char Description[128];
};
constexpr int kTAPTableEntries = 16;
constexpr int kTAPPathSize = 512; // room for a plug-in file's absolute path

// The ELF reader.  Its state holds the header and section headers in the
// ELF32 layout (ELF64 files are turned into it as they are read).
constexpr int kELFHeaderSize = 52, kELFSectionHeaderSize = 40;
constexpr uint32_t kELFStringTable = 3, kELFNoBits = 8;
extern int fTAP;
extern byte ELFHeader[kELFHeaderSize];
extern byte *SectionHeaders;
extern char *shstrtab;
bool ELFOpenFile(const char *FileName);
bool ELFOpenAbsFile(const char *Path);
bool ELFReadELFHeader();
bool ELFReadSectionHeaders();
bool ELFReadShstrtabSection();
int ELFGetSectionIndex(const char *Name);
uint32_t ELFSectionSize(int Index);
bool ELFReadDWORD(int Index, uint32_t *Destination);
// Reads the section's contents, at most Size bytes; the bytes read, or -1.
int32_t ELFReadData(int Index, void *Destination, dword Size);
void ELFCleanup();

bool HDD_TAP_GetInfo(const char *FileName, tTAPInfo *Info);
bool HDD_TAP_GetInfoByAbsPath(const char *AbsolutePath, tTAPInfo *Info);
// Destination holds kTAPPathSize bytes.
bool HDD_GetAbsolutePathByTypeFile(const void *FileRecord, char *Destination);
uint32_t HDD_TAP_GetIDByIndex(int Index);
int HDD_TAP_GetIndexByID(uint32_t ID);
bool HDD_TAP_isRunning(uint32_t ID);
dword HDD_TAP_SendEvent(uint32_t ID, bool AllowAbort, word Event, dword Param1, dword Param2);

// The request channel between plug-ins: the opener allocates the record,
// hands it to the addressed plug-in as event 0xFFF (first parameter) and
// releases it when it closes the channel.
struct TYPE_TAPCOM {
  dword Magic;
  dword Version;
  dword Reserved1;
  dword FromID;
  dword ToID;
  dword Status;
  dword ServiceID;
  dword Param1;
  dword Param2;
  dword Reserved2[2];
};
static_assert(sizeof(void *) != 4 || sizeof(TYPE_TAPCOM) == 44, "the receiver's channel record");
typedef void *TAPCOM_Channel;
constexpr dword kTAPCOMMagic = 0x14011965, kTAPCOMVersion = 14;
constexpr dword TAPCOM_Status_SERVER_NOT_AVAILABLE = 1;
TAPCOM_Channel TAPCOM_OpenChannel(uint32_t ID, dword Service, dword Param1, dword Param2);
void TAPCOM_CloseChannel(TAPCOM_Channel Channel);
bool isValidChannel(TAPCOM_Channel Channel);

constexpr int kFirmwareDatRecordSize = 348;
constexpr int kFirmwareDatRecordsOffset = 20;
constexpr uint32_t kFirmwareDatMagic = 0x12345678;

// ---- directories -------------------------------------------------------------
constexpr int kDirStackDepth = 16;
constexpr int kDirStackEntry = 200;
extern char TAPDirStack[kDirStackDepth][kDirStackEntry];
extern int32_t TAPDirStackDepth;
int HDD_TAP_GetCurrentDir(char *Destination);
bool HDD_TAP_PushDir();
void HDD_TAP_PopDir();
bool HDD_ChangeDir(const char *Path);

// ---- strings (in place; the caller provides room) --------------------------
bool StringEndsWith(const char *Text, const char *Suffix);
void UpperCase(char *Text);
// A Latin-1 letter with an accent, umlaut or the like as its base letter
// ("\xC4" as "A", "\xE9" as "e", "\xDF" as "s"); every other byte as it is.
byte BaseLetter(byte Character);
void DeleteAt(char *Text, int Position, int Count);
void InsertAt(char *Text, int Position, const char *Insert);
bool StrReplace(char *Text, const char *Find, const char *Replace);
char *stricstr(const char *Haystack, const char *Needle);
void StrToUTF8(const char *Source, char *Destination);
word CharToUTF8(const char *Pointer);
void SeparateFileNameComponents(const char *FileName, char *Name, char *Extension, char *Number,
                                bool *IsRecording, bool *IsDeleted);

// ---- time -------------------------------------------------------------------
dword Now(byte *Seconds);
char *TimeFormat(dword DateTime, byte Seconds, int Format);

// ---- diagnostics, memory, bitmap, screen -------------------------------------
void PrintNet(const char *Text);
void *TAP_MemAlloc_Chk(const char *Caller, dword Size);
bool BMP_WriteHeader(TYPE_File *File, int Width, int Height);
bool SaveBitmap(const char *FileName, int Width, int Height, const byte *Pixels);
void TAP_EnterNormalNoInfo();

// ---- INI files ----------------------------------------------------------------
enum {
  INILOCATION_NotFound = 0,
  INILOCATION_NewFile = 1,
  INILOCATION_AtCurrentDir = 2,
  INILOCATION_AtAppDir = 3,
  INILOCATION_AtSettingsDir = 4,
  INILOCATION_AtProgramFilesDir = 5,
};
extern char *INIBuffer;
extern uint32_t BufferSize;
extern char *INICommentBuffer;
int INIOpenFile(const char *FileName, const char *AppName);
// Starts an empty buffer, whatever files of the name exist; false when the
// memory cannot be had.
bool ININewBuffer();
int INILocateFile(const char *FileName, const char *AppName);
void INIFindStartEnd(const char *KeyWithEquals, char **Start, char **End, dword MaxLength);
bool INIGetString(const char *Key, char *Destination, const char *Default, dword Size);
int32_t INIGetInt(const char *Key, int32_t Default, int32_t Min, int32_t Max);
uint32_t INIGetHexDWord(const char *Key, uint32_t Default, uint32_t Min, uint32_t Max);
void INISetString(const char *Key, const char *Value);
void INISetInt(const char *Key, int32_t Value);
void INISetHexDWord(const char *Key, uint32_t Value);
bool INISaveFile(const char *FileName, int Location, const char *AppName);
void INICloseFile();

// ---- keys ------------------------------------------------------------------
// One row of the remote-control key table: the name printed on the key, its
// firmware key code and the platform's name of it.
struct KeyEntry {
  char ShortName[12];
  uint32_t KeyCode;
  char PlatformName[16];
};
constexpr int kKeyCount = 51;
extern const KeyEntry Tasten[kKeyCount];

extern int32_t RemoteType;
extern TAP_EventHandlerFunc Original_TAP_EventHandler;
bool KeyTranslate(bool Enable, TAP_EventHandlerFunc EventHandler);
dword KeyTranslateHook(word Event, dword Param1, dword Param2);

// ---- fonts --------------------------------------------------------------------
// A bitmap font: per glyph its width, height and the offset of its image in
// the bitmap; images lie glyph after glyph, row by row, one coverage byte a
// pixel (0 transparent, 255 covered).  Glyphs exist for the bytes 32..126 and
// 160..255.
struct FontGlyph {
  uint32_t Width, Height, Offset;
};
constexpr int kFontGlyphs = 191;
struct FontData {
  const byte *Bitmap;
  FontGlyph Glyph[kFontGlyphs];
};
static_assert(sizeof(void *) != 4 || sizeof(FontData) == 2296, "the receiver's font record");

extern const FontData Calibri_10_FontData, Calibri_12_FontData, Calibri_14_FontData,
    Calibri_16_FontData, Calibri_18_FontData, Calibri_20_FontData, Calibri_20B_FontData;
// The plug-in's own record of the size-12 font; it draws from
// Calibri_12_Bitmap.
extern const FontData Calibri_FontData;
extern const byte Calibri_10_Bitmap[], Calibri_12_Bitmap[], Calibri_14_Bitmap[],
    Calibri_16_Bitmap[], Calibri_18_Bitmap[], Calibri_20_Bitmap[], Calibri_20B_Bitmap[];

enum { ALIGN_LEFT = 0, ALIGN_CENTER = 1, ALIGN_RIGHT = 2 };
// Fitting a text into its span: cut at the end, cut at the end and end with
// "...", or cut at the start and begin with "...".
enum { TRUNC_CUT = 0, TRUNC_DOTS_END = 1, TRUNC_DOTS_START = 2 };

struct AlphaLUTEntry {
  byte r, g, b;
};
extern AlphaLUTEntry AlphaLUT[256];

void FM_PutStringAA(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                    dword BackColour, const FontData *Font, byte TruncateMode, byte Align,
                    float Factor);
void FM_PutString(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                  dword BackColour, const FontData *Font, byte TruncateMode, byte Align);
dword FM_GetStringWidth(const char *Text, const FontData *Font);
dword FM_GetStringHeight(const char *Text, const FontData *Font);
bool FM_isValidCharacter(byte Character);
byte FM_CharToIndex(byte Character);
byte FM_AlphaBlend(byte Alpha, byte Fore, byte Back, float Factor);
dword FM_AlphaBlendRGB(byte Alpha, dword ForeRGB, dword BackRGB, float Factor);
void FM_InitAlphaLUT(dword Colour, dword BackColour, float Factor);
dword GetOSDRegionWidth(word Region);

// ---- graphics: key symbols and window parts -----------------------------------
extern const GraphicDescriptor _Button_0_Gd, _Button_1_Gd, _Button_2_Gd, _Button_3_Gd, _Button_4_Gd,
    _Button_5_Gd, _Button_6_Gd, _Button_7_Gd, _Button_8_Gd, _Button_9_Gd, _Button_ar_Gd,
    _Button_audio_Gd, _Button_aux_Gd, _Button_blue_Gd, _Button_cut_Gd, _Button_down_Gd,
    _Button_exit_Gd, _Button_fav_Gd, _Button_ffwd_Gd, _Button_filelist_Gd, _Button_green_Gd,
    _Button_guide_Gd, _Button_info_Gd, _Button_jumpend_Gd, _Button_jumpstart_Gd, _Button_left_Gd,
    _Button_list_Gd, _Button_m_Gd, _Button_menu_Gd, _Button_mute_Gd, _Button_ok_Gd,
    _Button_option_Gd, _Button_pause_Gd, _Button_play_Gd, _Button_progminus_Gd, _Button_progplus_Gd,
    _Button_recall_Gd, _Button_record_Gd, _Button_red_Gd, _Button_right_Gd, _Button_rwd_Gd,
    _Button_sat_Gd, _Button_select_Gd, _Button_sleep_Gd, _Button_step_Gd, _Button_stop_Gd,
    _Button_subtitle_Gd, _Button_ttx_Gd, _Button_tv_radio_Gd, _Button_up_Gd, _Button_vf_Gd,
    _Button_volminus_Gd, _Button_volplus_Gd, _Button_white_Gd, _Button_yellow_Gd, _Button_nouse_Gd;
extern const GraphicDescriptor _SelectionBar_Blue_100x34_Gd, _SelectionBar_Blue_100x34Dark_Gd,
    _ScrollBarVisible_Gd, _ScrollBarInvisible_Gd, _ScrollBarKnob_Gd, _pfeil_l_Gd, _pfeil_r_Gd,
    _pfeil_l_bright_Gd, _pfeil_r_bright_Gd, _InfoBox_Gd, _MessageBoxSelectedButtonBackground_Gd,
    _ColorPicker_Gd, _ColorPicker_CursorNone_Gd, _ColorPicker_CursorDeselected_Gd,
    _ColorPicker_ValueBackroundSelected_Gd, _TextCursor14_Gd;

// ---- OSD menu: model ------------------------------------------------------------
constexpr int kMenuLevels = 5;
constexpr int kMenuButtons = 20;
constexpr int kMenuItemStep = 30; // first item storage, in records; doubles when full
constexpr int kMenuRows = 10;     // rows on one page of the list

struct MenuItem {
  char Name[128];
  char Value[128];
  const GraphicDescriptor *NameIcon;
  const GraphicDescriptor *ValueIcon;
  uint32_t ColourSwatch; // 0 = none
  uint32_t TextColour;
  uint32_t Selectable;
  uint32_t ValueArrows;
  uint32_t ID;
};
static_assert(sizeof(void *) != 4 || sizeof(MenuItem) == 284, "30 items take 8520 bytes");

struct MenuButton {
  uint32_t X, Y;
  const GraphicDescriptor *Icon;
  char Text[256];
  uint32_t Colour;
};

struct MenuLevel {
  MenuItem *Items;
  int32_t ItemCount;
  int32_t ItemCapacity;
  int32_t SelectedIndex;
  int32_t TopIndex;
  uint32_t SpareFlag;
  uint32_t ValueColumn;
  uint32_t ValueColumnX;
  uint32_t WrapAround;
  uint32_t Numbered;
  uint32_t ArrowItems;
  MenuButton Buttons[kMenuButtons];
  uint32_t ButtonCount;
  uint32_t ButtonLineX[4]; // lines 1..3; entry 0 unused
  char TitleLeft[256];
  char TitleRight[256];
  uint32_t LogoX, LogoY;
  const GraphicDescriptor *Logo;
  uint32_t MemoMode;
  const FontData *TitleFont, *TitleRightFont, *NumberFont, *NameFont, *ValueFont, *ButtonFont,
      *MemoFont;
};

// Called after each section is drawn: 0 title, 1 list or memo, 2 buttons,
// 3 logo.
typedef void (*OSDMenuCallback)(uint32_t Section, word Region);

extern MenuLevel Menu[kMenuLevels];
extern uint32_t CurrentMenuLevel;
extern word OSDRgn, MyOSDRgn;
extern uint32_t TitleDirty, ListDirty, ButtonsDirty, LogoDirty, OSDDirty;
// Counts every change of a level's items, buttons or set-up (not of its
// cursor or title), so that a repaint can tell what it drew is still current.
extern uint32_t MenuChanges;
extern uint32_t ButtonColor;
extern uint32_t MenuCursorType;
extern OSDMenuCallback CallbackProcedure;

// Returns false when the item storage could not be allocated; the level is
// then empty but usable (adding an item tries again).
bool OSDMenuInitialize(bool SpareFlag, bool ValueColumn, bool Numbered, bool WrapAround,
                       const char *TitleLeft, const char *TitleRight);
bool OSDMemoInitialize(bool WrapAround, const char *TitleLeft, const char *TitleRight,
                       const char *Text);
bool OSDMenuItemAdd(const char *Name, const char *Value, const GraphicDescriptor *NameIcon,
                    const GraphicDescriptor *ValueIcon, bool Selectable, bool ValueArrows,
                    uint32_t ID);
void OSDMenuItemsClear();
bool OSDMenuButtonAdd(dword Line, dword IconIndex, const GraphicDescriptor *CustomIcon,
                      const char *Text);
void OSDMenuButtonsClear();
int OSDMenuGetCurrentItem();
int OSDMenuItemGetNrOfItems();
int OSDMenuItemGetTopIndex();
char *OSDMenuItemGetName(int Index);
char *OSDMenuItemGetValue(int Index);
uint32_t OSDMenuItemGetID(int Index);
char *OSDMenuItemGetCurrentName();
char *OSDMenuItemGetCurrentValue();
void OSDMenuItemSortID(bool Ascending);
void OSDMenuItemSortNameColumn(bool Ascending, bool CaseSensitive);
void OSDMenuItemSortValueColumn(bool Ascending, bool CaseSensitive);
bool OSDMenuPush();
bool OSDMenuPop();
void OSDMenuModifyTitleRight(const char *Text);
void OSDMenuDestroy();
void OSDMenuDestroyNoOSDUpdate();

// ---- OSD menu: drawing and the boxes ------------------------------------------
void OSDMenuUpdate(bool NoSync);
// After a cursor move: repaints only what the move changed since the last
// OSDMenuUpdate (or the last call of this), with the same pixels a full
// update gives: the band above the list (background and title; whatever
// else was drawn there is gone, as after a full update), the scroll bar and
// the rows that changed.  It relies on the rest of the screen being as that
// paint left it; when it cannot know (the items, buttons or set-up changed,
// another level or window was drawn, a callback or logo is set, memo mode)
// it does a full OSDMenuUpdate.
void OSDMenuUpdateCursor(bool NoSync);
void OSDDrawBackground();
void OSDDrawTitle();
void OSDDrawList();
void OSDDrawMemo();
void OSDDrawScrollBar();
void OSDDrawButtons();
void OSDDrawLogo();
void OSDMenuDrawCursor(dword X, dword Y, dword Width);
const GraphicDescriptor *OSDMenuGetIconPointer(int IconIndex, const GraphicDescriptor *CustomIcon);
dword OSDMenuGetW(const char *Text, byte FontSize);
void OSDMenuPutS(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                 dword BackColour, byte FontSize, byte TruncateMode, byte Align);
// Region the boxes restore the area beneath into, instead of the menu's.
void OSDMenuSaveMyRegion(word Region);

constexpr int kMessageBoxButtons = 5;
struct tMessageBox {
  uint32_t MessageBoxButtonCount;
  int32_t MessageBoxSelected; // highlighted button; after closing the answer, -1 = Exit
  char MessageBoxButtonText[kMessageBoxButtons][256];
  char MessageBoxTitle[256];
  char MessageBoxText[256]; // lines broken by carriage return or line feed
};
extern tMessageBox MessageBox;
extern uint32_t MessageBoxNoNormalMode;
extern word MessageBoxOSDRgn;
extern word InfoBoxOSDRgn;
extern dword InfoBoxTimeOut;
extern void *InfoBoxSaveArea;
extern dword InfoBoxSaveAreaX, InfoBoxSaveAreaY;
extern word ColorPickerOSDRgn;
extern dword ColorPickerColor, ColorPickerDefaultColor;
extern uint32_t CurrentColorSelected; // 0 red, 1 green, 2 blue
extern int32_t ColorPickerLastCursorRed, ColorPickerLastCursorGreen, ColorPickerLastCursorBlue;
extern word ProgressBarOSDRgn, ProgressBarFullRgn;
extern dword ProgressBarLastValue;

void OSDMenuMessageBoxInitialize(const char *Title, const char *Text);
bool OSDMenuMessageBoxButtonAdd(const char *Text);
void OSDMenuMessageBoxButtonSelect(dword SelectedButton);
void OSDMenuMessageBoxDoNotEnterNormalMode(bool DoNotEnterNormalMode);
dword OSDMenuMessageBoxLastButton();
void OSDMenuMessageBoxShow();
void OSDMenuMessageBoxDestroy();
void OSDMenuMessageBoxDestroyNoOSDUpdate();
void OSDMenuInfoBoxShow(const char *Title, const char *Text, dword Timeout);
void OSDMenuInfoBoxDestroy();
void OSDMenuInfoBoxDestroyNoOSDUpdate();
void OSDMenuColorPickerShow(const char *Title, dword Color);
void OSDMenuColorPickerDrawCursor(dword Channel, bool Selected);
void OSDMenuColorPickerDestroy();
dword OSDMenuColorPickerColor();

// ---- OSD menu: navigation and keys ----------------------------------------------
bool OSDMenuSelectItem(int Index);
bool OSDMenuSelectTopItem(int Index);
int OSDMenuScrollUp();
int OSDMenuScrollDown();
int OSDMenuScrollPageUp();
int OSDMenuScrollPageDown();
int OSDMenuFindNextSelectableEntry(int From);
int OSDMenuFindPreviousSelectableEntry(int From);
void OSDCalcIndices();
bool OSDMenuEvent(word *Event, dword *Param1, dword *Param2);
// Moves the menu's cursor for a key as OSDMenuEvent does, without drawing;
// false for any other key, and when no menu is shown or another window is.
bool OSDMenuCursorKey(dword Key);

// ---- on-screen keyboard -----------------------------------------------------
constexpr int kKeyboardButtons = 20;
constexpr int kKeyboardKeys = 29; // 26 characters, Space, Backspace, OK
constexpr int kKeyboardSets = 7;
constexpr uint32_t kRemoteDirectModeID = 0x8E0A4230; // the companion remote plug-in
struct tOSDMenuKeyboard_Button {
  uint32_t Line; // 1..3
  uint32_t IconIndex;
  char Text[20];
};
extern char *OSDMenuKeyboard_StringVarOrig;
extern char *OSDMenuKeyboard_StringVar;
extern uint32_t OSDMenuKeyboard_StringMaxLen;
extern char *OSDMenuKeyboard_Title;
extern int32_t OSDMenuKeyboard_CursorPosition;
extern int32_t OSDMenuKeyboard_TextStartPosition;
extern int32_t KeyPadPosition;
extern int32_t KeyPadMode;
extern word OSDMenuKeyboard_rgn;
extern bool OSDMenuKeyboard_GUIInitialized;
extern bool OSDMenuKeyboard_ReturnToNormal;
extern tOSDMenuKeyboard_Button OSDMenuKeyboard_Buttons[kKeyboardButtons];
extern uint32_t OSDMenuKeyboard_NrButtons;
extern uint32_t OSDMenuKeyboard_ButtonsX[3];
extern const char Keypad[kKeyboardSets][26][2];

// False when the heap could not give the work copy: no keyboard is set up.
bool OSDMenuKeyboard_Setup(const char *Title, char *Text, dword MaxLength);
void OSDMenuKeyboard_LegendButton(dword Line, dword IconIndex, const char *Text);
int OSDMenuKeyboard_EventHandler(word *Event, dword *Param1, dword *Param2);
void OSDMenuKeyboard_SaveAndFinish();
void OSDMenuKeyboard_Finish();
void OSDMenuKeyboard_CursorLeft();
void OSDMenuKeyboard_CursorRight();
void OSDMenuKeyboard_CursorEnd();
void OSDMenuKeyboard_DeleteLeft();
void OSDMenuKeyboard_DeleteRight();
void OSDMenuKeyboard_Draw();
void OSDMenuKeyboard_DrawLegendButton(dword Line, dword IconIndex, const char *Text);
void OSDMenuKeyboard_TMSRemoteDirectMode(bool On);

#endif
