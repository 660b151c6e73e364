// rename.cpp - the rename key on the file list: the on-screen keyboard opens
// on the entry's name; the events that follow go to it until it closes, and
// the rename itself is completed by the event dispatch.
#include <stdio.h>
#include <string.h>

#include "Velumo.h"
#include "tklib.h"

int32_t StartRename(const char *name) {
  snprintf(buf, sizeof buf, Lang("Umbenennen von %s", "Renaming %s"), name);
  // A name the edit line cannot hold whole would be renamed to a cut copy of
  // itself even when the user changes nothing.
  if (strlen(name) >= sizeof Text) {
    WriteLog("= Not renaming <%s>: name longer than %d characters\n", name, int(sizeof Text - 1));
    Status("Name zu lang zum Umbenennen", "Name too long to rename");
    return 0;
  }
  strcpy(logofile, name);
  strcpy(Text, name);
  if (!OSDMenuKeyboard_Setup(buf, Text, sizeof Text - 1)) {
    WriteLog("= Not renaming <%s>: no memory for the keyboard\n", name);
    Status("Kein Speicher f\xFCr die Tastatur", "No memory for the keyboard");
    return 0;
  }
  OSDMenuKeyboard_LegendButton(1, 31, Lang("Zeichen einf\xFCgen ", "Insert char "));
  OSDMenuKeyboard_LegendButton(1, 34, Lang("Zeichensatzwechsel ", "Change char. set "));
  OSDMenuKeyboard_LegendButton(2, 25, "");
  OSDMenuKeyboard_LegendButton(2, 24, Lang("links/rechts beweg. ", "Move left/right "));
  OSDMenuKeyboard_LegendButton(2, 41, "");
  OSDMenuKeyboard_LegendButton(2, 19, Lang("links/rechts l\xF6sch. ", "Delete left/right "));
  OSDMenuKeyboard_LegendButton(3, 17, Lang("Speichern ", "Save "));
  OSDMenuKeyboard_LegendButton(3, 14, Lang("Dateiname l\xF6schen ", "Delete filename "));
  OSDMenuKeyboard_LegendButton(3, 37, Lang("Alter Dateiname ", "Old filename "));
  Status("Datei umbenennen", "Renaming");
  ChangeState(MS_Rename);
  // The key goes on to the firmware as well.
  return 0;
}
