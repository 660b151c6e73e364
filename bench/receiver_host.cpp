// Wall time of the plug-in's list on a large folder, natively: tapsim on a
// generated disk of 10 or 4,999 .qtl logos, the list opened sorted by name,
// a cursor and a page move, the detail view, a step in it and back, a
// conversion, and each sort key pressed twice.  The receiver's counts
// are measured in its own build under qemu; this is the desktop's view of
// the same actions.
#include <stdio.h>
#include <stdlib.h>
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <time.h>

#include <string>

#include "Velumo.h"
#include "tapsim.h"
#include "tklib.h"

static double Seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

static bool Write(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// A disk with /Logos holding Count 54x34 16-bit logos and the settings
// that open it sorted by name.
static std::string MakeDisk(int count) {
  char dir[] = "/tmp/velumo-bench-XXXXXX";
  if (!mkdtemp(dir)) return "";
  const std::string root = dir;
  for (const char *d :
       {"/ProgramFiles", "/ProgramFiles/Settings", "/ProgramFiles/Settings/Velumo", "/Logos"})
    mkdir((root + d).c_str(), 0755);
  std::string logo = std::string("\0\0\0\x36\0\0\0\x22", 8);
  for (int i = 0; i < 54 * 34; ++i) logo += std::string{char(0x80 | (i & 0x7F)), char(i)};
  for (int i = 0; i < count; ++i) {
    char name[64];
    // Picon-like names, not in name order on the disk.
    snprintf(name, sizeof name, "/Logos/%c%04d_%d.qtl", 'A' + (i * 7919) % 26, (i * 104729) % 9973,
             i);
    if (!Write(root + name, logo)) return "";
  }
  if (!Write(root + "/ProgramFiles/Settings/Velumo/Velumo.ini", "Path01=/Logos\r\nSort=2\r\n"))
    return "";
  return root;
}

struct Row {
  const char *action;
  dword key; // 0: opening the folder
  double seconds;
};

static double Key(dword code) {
  const double t = Seconds();
  Sim_DeliverEvent(EVT_KEY, code, 0);
  Sim_DeliverEvent(EVT_IDLE, 0, 0);
  return Seconds() - t;
}

// What a round's conversion wrote, so that every round lists the same folder.
static void RemoveConverted(const std::string &folder) {
  DIR *d = opendir(folder.c_str());
  if (!d) return;
  while (dirent *e = readdir(d)) {
    const size_t n = strlen(e->d_name);
    if (n > 4 && strcmp(e->d_name + n - 4, ".bll") == 0) unlink((folder + "/" + e->d_name).c_str());
  }
  closedir(d);
}

static bool Run(int count, int rounds) {
  const std::string root = MakeDisk(count);
  if (root.empty()) {
    fprintf(stderr, "receiver_host: cannot write the disk\n");
    return false;
  }
  // On the list as opened (the parent entry first) the moves, the detail
  // view and the conversion each land on a logo, in the small folder too.
  Row rows[] = {
      {"open, sorted by name", 0, 0},       {"page move (Right)", RKEY_Right, 0},
      {"cursor move (Down)", RKEY_Down, 0}, {"detail view (OK)", RKEY_Ok, 0},
      {"previous logo (Up)", RKEY_Up, 0},   {"back to the list (Exit)", RKEY_Exit, 0},
      {"convert 1: BLL", RKEY_1, 0},        {"Red", RKEY_NewF1, 0},
      {"Red again", RKEY_NewF1, 0},         {"Green", RKEY_F2, 0},
      {"Green again", RKEY_F2, 0},          {"Yellow", RKEY_F3, 0},
      {"Yellow again", RKEY_F3, 0},
  };
  for (Row &r : rows) r.seconds = 1e9;
  for (int round = 0; round < rounds; ++round) {
    if (Sim_Init(root.c_str()) != 1) return false;
    Sim_SetClock("2026-12-08 18:00:00");
    char err[256] = "";
    // Linked in, the plug-in keeps its globals from round to round; loaded
    // by the firmware it starts with the list's first entry.
    iSelection = itSelection = 0;
    const double t = Seconds();
    const int slot = Sim_AttachPlugin("Velumo.so", __TAP_Init_, err, sizeof err);
    Sim_DeliverEvent(EVT_IDLE, 0, 0);
    const double opened = Seconds() - t;
    if (slot < 0 || OSDMenuItemGetNrOfItems() < count) {
      fprintf(stderr, "receiver_host: the list did not open (%s, %d items)\n", err,
              OSDMenuItemGetNrOfItems());
      return false;
    }
    for (Row &r : rows) {
      const double took = r.key ? Key(r.key) : opened;
      if (took < r.seconds) r.seconds = took;
    }
    Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0);
    Sim_Shutdown();
    RemoveConverted(root + "/Logos");
  }
  printf("%d logos (best of %d):\n", count, rounds);
  for (const Row &r : rows) printf("  %-24s %9.3f ms\n", r.action, r.seconds * 1e3);
  if (system(("rm -rf '" + root + "'").c_str()) != 0) return false;
  return true;
}

// With arguments, one folder size and a number of rounds (for a profiler).
int main(int argc, char **argv) {
  if (argc == 3) return Run(atoi(argv[1]), atoi(argv[2])) ? 0 : 1;
  return Run(10, 5) && Run(4999, 3) ? 0 : 1;
}
