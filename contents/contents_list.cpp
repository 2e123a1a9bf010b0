#include "contents/contents_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/naming.h"
#include "contents/folder_settings.h"
#include "platform/daemon.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

constexpr int LISTED_FOLDERS = 1000; // folder numbers 1..1000 are listed
constexpr int PROBE_LIMIT = 22000;   // frame numbers 0..21999 are probed

// The four cheap tests of a folder, in the order they are tried.
enum CheapTest { SETTINGS_FILE, FRAME_TABLE_FILE, FIRST_FRAME, MARKER_FILE, CHEAP_TESTS };

// --- Names learnt from folder reads -------------------------------------------
//
// A folder read only rules names out: a name it shows is still tested for
// real, so that links, unreadable files and folders named like files come out
// as the plain tests have them.

struct FolderKnowledge {
  bool folders_known;                        // the parent folder could be read
  bool folder_present[LISTED_FOLDERS + 1];   // an entry named S<k> is there
  bool files_known;                          // the working folder could be read
  bool settings_present[LISTED_FOLDERS + 1]; // zep_env<k>.dat is there
  bool table_present[LISTED_FOLDERS + 1];    // frame_data<k>.dat is there
  int frames_folder;                         // folder whose frames are known below, 0 none
  bool frames_known;
  bool frame_present[PROBE_LIMIT]; // clip_<n>.jpg is there
};
FolderKnowledge Known;

void NoteParentEntry(const char *name, bool, void *) {
  int k = NumberInName(name, "S", "");
  if (k < 1 || k > LISTED_FOLDERS) return;
  char folder[NAME_LEN];
  FolderName(folder, sizeof folder, k);
  if (strcmp(folder + 3, name) == 0) Known.folder_present[k] = true; // past "../"
}

void NoteWorkingEntry(const char *name, bool, void *) {
  char built[NAME_LEN];
  int k = NumberInName(name, "zep_env", ".dat");
  if (k >= 1 && k <= LISTED_FOLDERS) {
    SettingsFileName(built, sizeof built, k);
    if (strcmp(built, name) == 0) Known.settings_present[k] = true;
  }
  k = NumberInName(name, "frame_data", ".dat");
  if (k >= 1 && k <= LISTED_FOLDERS) {
    FrameTableFileName(built, sizeof built, k);
    if (strcmp(built, name) == 0) Known.table_present[k] = true;
  }
}

void NoteFrameEntry(const char *name, bool, void *) {
  int n = FrameNumberOf(name);
  if (n >= 0 && n < PROBE_LIMIT) Known.frame_present[n] = true;
}

bool OpensByKnowledge(CheapTest test, int k, const char *name) {
  bool ruled_out = test == SETTINGS_FILE      ? Known.files_known && !Known.settings_present[k]
                   : test == FRAME_TABLE_FILE ? Known.files_known && !Known.table_present[k]
                                              : Known.folders_known && !Known.folder_present[k];
  return !ruled_out && FileReadable(name);
}

bool FrameExistsByKnowledge(int k, int n) {
  if (Known.folders_known && !Known.folder_present[k]) return false;
  if (Known.frames_folder != k) {
    // Only a folder without a first frame or marker is probed, so this read
    // happens at most once per such folder.
    char folder[NAME_LEN];
    FolderName(folder, sizeof folder, k);
    memset(Known.frame_present, 0, sizeof Known.frame_present);
    bool missing = false;
    Known.frames_known = ListFolder(folder, NoteFrameEntry, nullptr, &missing);
    Known.frames_folder = k;
  }
  if (Known.frames_known && !Known.frame_present[n]) return false;
  char path[NAME_LEN];
  FramePath(path, sizeof path, k, n);
  return FileExists(path);
}

// --- The listing ---------------------------------------------------------------

// Leaves a note in a folder that only the probe found, so that the next
// listing finds it by the marker test. A note that cannot be written is
// skipped without a word; the folder is listed all the same.
void WriteMarker(int k, int n) {
  char marker[NAME_LEN];
  MarkerFileName(marker, sizeof marker, k);
  FILE *file = fopen(marker, "w");
  if (file == nullptr) return;
  char frame[32];
  FrameFileName(frame, sizeof frame, n);
  bool written = fprintf(file, "FOUND: %s\n", frame) > 0;
  if (fclose(file) != 0) written = false;
  if (written) Print("*** Created a file[ %s ] ***\n", marker);
}

// Probes the frame files of folder k at pseudo-random gaps of 1 to k
// numbers. Returns the number found, or -1.
int ProbeFrames(int k) {
  int n = 0;
  while (n < PROBE_LIMIT) {
    if (FrameExistsByKnowledge(k, n)) return n;
    n = n + 1 + rand() % k;
  }
  return -1;
}

} // namespace

bool ListContentsFolders() {
  memset(&Known, 0, sizeof Known);
  bool missing = false;
  Known.folders_known = ListFolder("..", NoteParentEntry, nullptr, &missing);
  Known.files_known = ListFolder(".", NoteWorkingEntry, nullptr, &missing);
  Print("\n*** Following is the list of contents with associated file: \n\n");
  Z.ContentsListCount = 0;
  memset(Z.ContentsList, 0, sizeof Z.ContentsList);
  bool probed = false;
  for (int k = 1; k <= LISTED_FOLDERS; ++k) {
    char names[CHEAP_TESTS][NAME_LEN];
    SettingsFileName(names[SETTINGS_FILE], NAME_LEN, k);
    FrameTableFileName(names[FRAME_TABLE_FILE], NAME_LEN, k);
    FramePath(names[FIRST_FRAME], NAME_LEN, k, 0);
    MarkerFileName(names[MARKER_FILE], NAME_LEN, k);
    int found = -1;
    for (int t = 0; t < CHEAP_TESTS && found < 0; ++t)
      if (OpensByKnowledge(static_cast<CheapTest>(t), k, names[t])) found = t;
    // Else the probe: its frame is named as the first frame is.
    int n = found < 0 ? ProbeFrames(k) : -1;
    if (n >= 0) {
      found = FIRST_FRAME;
      FramePath(names[found], NAME_LEN, k, n);
    }
    if (found >= 0) {
      Print("[S%3d] FILE [ %s ] exists!\n", k, names[found]);
      if (Z.ContentsListCount < CONTENTS_LIST_MAX) Z.ContentsList[Z.ContentsListCount++] = k - 1;
    }
    if (n >= 0) {
      probed = true;
      WriteMarker(k, n);
    }
    if (k - 1 == Z.ContentsIndex) Print("       <<< You Are Here Now >>>\n");
  }
  return probed;
}

bool PickRandomContents() {
  if (Z.DISP_WEB_CAM_INFO == 2) return false;

  bool listed = false;
  bool probed = false;
  if (Z.ContentsListReady == 0) {
    probed = ListContentsFolders();
    listed = true;
  }
  if (Z.ContentsListCount <= 0) {
    Print("\nThat's all.\n\n");
    return false;
  }
  // A list the probe contributed to is made again next time: by then the
  // markers let the cheap tests find those folders.
  if (listed && !probed) Z.ContentsListReady = 1;

  Print("\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n");
  int count = Z.ContentsListCount < CONTENTS_LIST_MAX ? Z.ContentsListCount : CONTENTS_LIST_MAX;
  Z.ContentsIndex = Z.ContentsList[rand() % count];
  return true;
}

void LoadOwnFolderSettings() {
  char settings[NAME_LEN];
  SettingsFileName(settings, sizeof settings, Z.ContentsIndex + 1);
  if (!FileReadable(settings)) return;
  Print("FILE [ %s ] exists!\n", settings);
  LoadFolderSettings();
}
