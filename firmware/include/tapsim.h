/* tapsim.h - the desktop controls of the firmware stand-in.
 *
 * tapsim and the tests drive libtap through these calls: they set up the
 * disk, the clock and the fault injection, load plug-ins, deliver events and
 * read back what the firmware saw (screen, heap, normal mode, terminal).  A
 * plug-in never calls them; they do not exist on the receiver.
 */
#ifndef TAPSIM_H
#define TAPSIM_H

#include "tap.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SIM_MAX_PLUGINS 16

/* Resets every piece of firmware state and makes diskRoot (created when
 * missing, with /ProgramFiles in it) the receiver's disk.  Returns 1, or 0
 * with a message on standard error when the folder cannot be used. */
int Sim_Init(const char *diskRoot);
/* The same for a folder that exists, without creating anything in it: for
 * desktop programs that run the plug-in's logo engine on the host's own
 * folders ("/" makes disk paths host paths). */
int Sim_UseFolder(const char *diskRoot);
/* Unloads every plug-in and releases what the firmware holds. */
void Sim_Shutdown(void);
/* Host path of the disk root, without a trailing slash. */
const char *Sim_DiskRoot(void);

/* --- settings ---------------------------------------------------------- */
/* Fixed start of the simulated clock, "YYYY-MM-DD HH:MM:SS"; returns 0 when
 * the text is not such a time or lies outside 1900-01-01 to 2038-04-22 (the
 * last day of the 16-bit date).  Without it the clock follows real time. */
int Sim_SetClock(const char *text);
void Sim_SetLanguage(dword osdLanguage);
void Sim_SetSystemId(dword id);
void Sim_SetVersion(dword version);
/* Print what reaches the network terminal on standard output as well. */
void Sim_SetEcho(int on);
/* Print every delivered event and its result on standard error. */
void Sim_SetTrace(int on);

/* --- fault injection ---------------------------------------------------- */
/* The nth allocation from now on (1 = the next one) fails; 0 switches off. */
void Sim_FailAllocNth(dword nth);
/* Every allocation of more than this many bytes fails; 0 switches off. */
void Sim_FailAllocAbove(dword bytes);
/* Disk writes fail once this many more bytes were written; -1 switches off. */
void Sim_FailWriteAfter(long long bytes);
/* Allocations made so far (successful or not). */
dword Sim_AllocCount(void);

/* --- plug-ins ----------------------------------------------------------- */
/* Copies the plug-in file into the disk's /ProgramFiles, loads it from there,
 * calls __TAP_Init_ and TAP_Main.  Returns its slot, or -1 with a reason in
 * err. */
int Sim_LoadPlugin(const char *hostPath, char *err, size_t errSize);
/* The same for a plug-in linked into the calling program (tests): init is
 * its __TAP_Init_. */
int Sim_AttachPlugin(const char *name, int (*init)(TYPE_TapEntry *), char *err, size_t errSize);
int Sim_PluginCount(void);
/* 1 while the plug-in has not called TAP_Exit. */
int Sim_PluginRunning(int slot);
const char *Sim_PluginName(int slot);
/* Delivers one event to the running plug-ins in load order through the
 * handler held in the firmware's plug-in table.  A plug-in that returns 0
 * consumes it; otherwise the next one gets the returned value as param1.
 * The result is what reaches the firmware (0 when consumed). */
dword Sim_DeliverEvent(word event, dword param1, dword param2);
/* Events a plug-in received, and blocks it still holds / heap misuses. */
dword Sim_PluginEvents(int slot);
dword Sim_HeapBlocks(int slot);
dword Sim_HeapMisuse(int slot);
/* Heap blocks held by everybody, whoever allocated them. */
dword Sim_HeapBlocksTotal(void);
/* The most bytes the heap held at once (everybody's blocks together) since
   the start or the last Sim_ResetHeapPeak, which starts it afresh from what
   is held now. */
dword Sim_HeapPeak(void);
void Sim_ResetHeapPeak(void);

/* --- what the firmware saw --------------------------------------------- */
int Sim_NormalMode(void);
dword Sim_EnterNormalCalls(void);
dword Sim_Tick(void);
/* The visible screen as of the last TAP_Osd_Sync, 720 x 576 ARGB. */
const uint32_t *Sim_ShownPlane(void);
/* The OSD plane being drawn, 720 x 576 ARGB. */
const uint32_t *Sim_DrawPlane(void);
dword Sim_SyncCount(void);
/* Writes the visible screen over a test picture as a PNG; 1 on success. */
int Sim_Screenshot(const char *hostPath);
/* Everything written to the network terminal so far, NUL-terminated. */
const char *Sim_TerminalText(void);
/* Files opened with TAP_Hdd_Fopen and not closed yet. */
int Sim_OpenFileCount(void);
/* Number of open regions (shown and memory-only). */
int Sim_RegionCount(void);

/* Maps a receiver device path (/mnt/hd/..., /dev/pts/N) to what stands for
 * it here: a host path inside the disk, "" for a network terminal, or null
 * when it must not be opened.  Other paths come back unchanged. */
const char *Sim_HostPath(const char *devicePath, char *buf, size_t bufSize);

#ifdef __cplusplus
}
#endif

#endif /* TAPSIM_H */
