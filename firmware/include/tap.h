/* tap.h - the firmware's plug-in interface as a plug-in sees it.
 *
 * The receiver's firmware exports these calls from its platform library; on
 * the desktop libtap.so implements them over a host folder, an in-memory OSD
 * plane and a simulated clock.  Everything here is plain C so that plug-ins
 * built by any compiler can bind to it.
 */
#ifndef TAP_H
#define TAP_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* dword is 32 bits on the receiver and pointer-sized on 64-bit hosts, so a
 * pointer handed through an event parameter survives on both.  Code that
 * needs exactly 32 bits uses uint32_t. */
typedef unsigned char byte;
typedef unsigned short word;
typedef unsigned long dword;

/* ---- events ------------------------------------------------------------ */
#define EVT_IDLE 0x0000
#define EVT_KEY 0x0100
#define EVT_STOP 0x0900
#define EVT_KEYBOARD 0x0FFD /* character from an attached keyboard */
#define EVT_TAPCOM 0x0FFF   /* request from another plug-in */

typedef int (*TAP_MainFunc)(void);
typedef dword (*TAP_EventHandlerFunc)(word event, dword param1, dword param2);

/* The record the loader hands to __TAP_Init_: the plug-in stores its two
 * entry points in it. */
typedef struct {
  TAP_MainFunc Main;
  TAP_EventHandlerFunc EventHandler;
} TYPE_TapEntry;

/* ---- remote-control keys ---------------------------------------------- */
#define RKEY_0 0x10000
#define RKEY_1 0x10001
#define RKEY_2 0x10002
#define RKEY_3 0x10003
#define RKEY_4 0x10004
#define RKEY_5 0x10005
#define RKEY_6 0x10006
#define RKEY_7 0x10007
#define RKEY_8 0x10008
#define RKEY_9 0x10009
#define RKEY_Recall 0x1000B
#define RKEY_Mute 0x1000C
#define RKEY_Uhf 0x1000E
#define RKEY_Left 0x1000F
#define RKEY_Sleep 0x10010
#define RKEY_Up 0x10012
#define RKEY_AudioTrk 0x10013
#define RKEY_Info 0x10014
#define RKEY_Right 0x10015
#define RKEY_Guide 0x10016
#define RKEY_Exit 0x10017
#define RKEY_TvRadio 0x10018
#define RKEY_Pause 0x1001A
#define RKEY_Menu 0x1001C
#define RKEY_Down 0x1001D
#define RKEY_Ok 0x1001E
#define RKEY_Subt 0x10021
#define RKEY_TvSat 0x10022
#define RKEY_F2 0x10024
#define RKEY_F3 0x10025
#define RKEY_F4 0x10026
#define RKEY_Teletext 0x10037
#define RKEY_Rewind 0x10038
#define RKEY_Play 0x10039
#define RKEY_Forward 0x1003A
#define RKEY_Slow 0x1003B
#define RKEY_Stop 0x1003C
#define RKEY_Record 0x1003D
#define RKEY_Ab 0x1003E
#define RKEY_NewF1 0x1003F
#define RKEY_Sat 0x10040
#define RKEY_Prev 0x10041
#define RKEY_PlayList 0x10042
#define RKEY_Next 0x10043
#define RKEY_VFormat 0x10044
#define RKEY_ChUp 0x10045
#define RKEY_ChDown 0x10046
#define RKEY_VolUp 0x10047
#define RKEY_VolDown 0x10048
#define RKEY_White 0x10049

/* ---- files ------------------------------------------------------------- */
#define ATTR_FOLDER 0xE0
#define ATTR_NORMAL 0xD0

#define TAP_MAX_FILENAME 256

/* One directory entry, and the handle of an open file.  Handles come from
 * TAP_Hdd_Fopen and are released by TAP_Hdd_Fclose; search entries belong to
 * the caller. */
typedef struct {
  byte attr; /* ATTR_FOLDER or ATTR_NORMAL */
  byte hour;
  byte min;
  byte sec;
  word mjd; /* modification date, Modified Julian Date */
  word reserved;
  dword size; /* bytes */
  char name[TAP_MAX_FILENAME];
  void *handle; /* firmware's own data of an open file */
} TYPE_File;

#define SEEK_START 0
#define SEEK_CURRENT 1
#define SEEK_ENDING 2

/* ---- OSD --------------------------------------------------------------- */
#define OSD_WIDTH 720
#define OSD_HEIGHT 576
#define OSD_Flag_MemRgn 0x8000 /* region held in memory only, never shown */

/* The firmware's record of a compressed image (16 bytes on the receiver). */
typedef struct {
  byte version; /* 1 */
  byte reserved;
  byte psize;       /* pixel format, 1 = 32-bit ARGB */
  byte compressed;  /* method, 2 = zlib-deflated ARGB words */
  const void *data; /* the compressed data */
  uint32_t size;    /* uncompressed bytes, width x height x 4 */
  word width;
  word height;
} GraphicDescriptor;

#define GD_VERSION 1
#define GD_PSIZE_ARGB 1
#define GD_COMPRESS_DEFLATE 2

/* Description of the OSD plane; the first word is its pixel memory,
 * OSD_WIDTH 32-bit ARGB pixels a line. */
typedef struct {
  uint32_t *pixels;
  dword width;
  dword height;
  dword bytesPerLine;
} TYPE_OsdBaseInfo;

/* ---- life cycle -------------------------------------------------------- */
void TAP_Exit(void);
void TAP_EnterNormal(void);
void TAP_ExitNormal(void);
void TAP_GetState(dword *state, dword *subState);
void TAP_Sleep(dword ticks);

#define STATE_Normal 0
#define SUBSTATE_Normal 31

/* ---- disk ------------------------------------------------------------- */
int TAP_Hdd_ChangeDir(const char *dir);
int TAP_Hdd_Exist(const char *name);
int TAP_Hdd_Create(const char *name, byte attr);
int TAP_Hdd_Delete(const char *name);
int TAP_Hdd_Rename(const char *oldName, const char *newName);
TYPE_File *TAP_Hdd_Fopen(const char *name);
dword TAP_Hdd_Fread(void *buf, dword size, dword count, TYPE_File *file);
dword TAP_Hdd_Fwrite(const void *buf, dword size, dword count, TYPE_File *file);
dword TAP_Hdd_Fseek(TYPE_File *file, long offset, dword whence);
dword TAP_Hdd_Ftell(TYPE_File *file);
dword TAP_Hdd_Flen(TYPE_File *file);
void TAP_Hdd_Fclose(TYPE_File *file);
dword TAP_Hdd_FindFirst(TYPE_File *entry, const char *filter);
dword TAP_Hdd_FindNext(TYPE_File *entry);

/* ---- screen ------------------------------------------------------------ */
word TAP_Osd_Create(dword x, dword y, dword w, dword h, byte lutIdx, dword flag);
int TAP_Osd_Delete(word rgn);
void TAP_Osd_Sync(void);
int TAP_Osd_FillBox(word rgn, dword x, dword y, dword w, dword h, dword color);
int TAP_Osd_DrawRectangle(word rgn, dword x, dword y, dword w, dword h, dword thickness,
                          dword color);
int TAP_Osd_Draw3dBoxFill(word rgn, dword x, dword y, dword w, dword h, dword c1, dword c2,
                          dword fc);
int TAP_Osd_PutPixel(word rgn, dword x, dword y, dword color);
int TAP_Osd_PutGd(word rgn, int x, int y, const GraphicDescriptor *gd, int sprite);
int TAP_Osd_PutString(word rgn, dword x, dword y, dword maxX, const char *str, dword fcolor,
                      dword bcolor, byte fntType, byte fntSize, byte nextLine);
int TAP_Osd_Copy(word srcRgn, word dstRgn, dword srcX, dword srcY, dword w, dword h, dword dstX,
                 dword dstY, int sprite);
void *TAP_Osd_SaveBox(word rgn, dword x, dword y, dword w, dword h);
void TAP_Osd_RestoreBox(word rgn, dword x, dword y, dword w, dword h, void *data);
int TAP_Osd_GetPlaneBaseInfo(TYPE_OsdBaseInfo *info);
uint32_t *TAP_Osd_DecompressJpeg(const char *name, dword width, dword height, dword flags);

/* ---- memory ------------------------------------------------------------ */
void *TAP_MemAlloc(dword size);
int TAP_MemFree(const void *addr);
void TAP_MemSet(void *dst, byte value, dword count);
void TAP_MemCpy(void *dst, const void *src, dword count);
int TAP_MemCmp(const void *a, const void *b, dword count);

/* ---- text -------------------------------------------------------------- */
int TAP_SPrint(char *buf, const char *format, ...) __attribute__((format(printf, 2, 3)));
int TAP_Print(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* ---- time and system --------------------------------------------------- */
int TAP_GetTime(word *mjd, byte *hour, byte *min, byte *sec);
dword TAP_GetTick(void);
void TAP_ExtractMjd(word mjd, word *year, byte *month, byte *day, byte *weekDay);
word TAP_MakeMjd(word year, byte month, byte day);
dword TAP_GetSystemId(void);
dword TAP_GetVersion(void);
dword TAP_GetSystemVar(dword varId);

#define SYSVAR_OsdLan 1
#define LAN_German 2

/* ---- the plug-in's side ----------------------------------------------- */
int __TAP_Init_(TYPE_TapEntry *entry);
int TAP_Main(void);
dword TAP_EventHandler(word event, dword param1, dword param2);

#ifdef __cplusplus
}
#endif

#endif /* TAP_H */
