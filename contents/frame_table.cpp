#include "contents/frame_table.h"

#include <cstdio>
#include <cstring>

#include "common/naming.h"
#include "common/text_values.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

// Which frame numbers 0..25000 exist, as learnt from one folder listing.
struct FolderListing {
  const char *folder;
  bool present[MAX_FRAME_NUMBER + 1];
};
FolderListing Listing;

void NoteEntry(const char *name, bool maybe_dangling, void *context) {
  auto *listing = static_cast<FolderListing *>(context);
  int n = FrameNumberOf(name);
  if (n < 0 || n > MAX_FRAME_NUMBER) return;
  if (maybe_dangling) {
    // The existence test follows links: a dangling one is not a frame.
    char path[NAME_LEN];
    snprintf(path, sizeof path, "%s/%s", listing->folder, name);
    if (!FileExists(path)) return;
  }
  listing->present[n] = true;
}

} // namespace

bool ReadFrameTableFile(const char *name) {
  FILE *file = fopen(name, "rb");
  if (file == nullptr) return false;
  size_t got = fread(Z.FrameData, 1, FRAME_TABLE_BYTES, file);
  (void)got; // a short file leaves the rest of the table zero
  int count = 0;
  int read = ScanInt(file, &count);
  fclose(file);
  if (read != 1) count = 0;
  if (count < 0 || count > MAX_FRAMES) {
    memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
    return false;
  }
  Z.MaxCount = count;
  for (FrameRecord &rec : Z.FrameData) {
    rec.loaded = 0;
    rec.path[PATH_FIELD - 1] = '\0';
    rec.http[PATH_FIELD - 1] = '\0';
    rec.file[PATH_FIELD - 1] = '\0';
  }
  Print("\n* FINISHED READING FRAME DATA :  %s\n  (Number of files = [ %d ],  Name of the top file = [ %s ]) "
        "\n",
        name, Z.MaxCount, Z.FrameData[0].path);
  return true;
}

namespace {

// Existence of frame number n of folder k; the frame's path is built into
// path when it exists (the listing builds it only then).
using FrameExists = bool (*)(int k, int n, char *path, size_t size);

bool ListedExists(int k, int n, char *path, size_t size) {
  if (!Listing.present[n]) return false;
  FramePath(path, size, k, n);
  return true;
}
bool Absent(int, int, char *, size_t) { return false; }
bool TestedExists(int k, int n, char *path, size_t size) {
  FramePath(path, size, k, n);
  return FileExists(path);
}

// The scan itself: numbers 0..25000 in order, gaps closed up, a stop after
// more than 22000 misses in a row or a full table.
void ScanNumbers(int k, FrameExists exists) {
  char path[NAME_LEN];
  int count = 0;
  int misses = 0;
  for (int n = 0;;) {
    if (exists(k, n, path, sizeof path)) {
      memcpy(Z.FrameData[count].path, path, strlen(path) + 1); // short: ../S<n>/clip_NNNNN.jpg
      ++count;
      Z.MaxCount = count;
      misses = 0;
      if (count % SCAN_PROGRESS_EVERY == 0) Print("\n [ %6d ]  MaxCount = [ %6d ]  ( %s )\n", n, count, path);
    } else if (++misses > SCAN_GAP_LIMIT) {
      break;
    }
    ++n;
    if (n > MAX_FRAME_NUMBER || Z.MaxCount >= MAX_FRAMES) break;
  }
}

} // namespace

void ScanFolder(int k) {
  char folder[NAME_LEN];
  FolderName(folder, sizeof folder, k);
  memset(Listing.present, 0, sizeof Listing.present);
  Listing.folder = folder;
  bool missing = false;
  if (ListFolder(folder, NoteEntry, &Listing, &missing))
    ScanNumbers(k, ListedExists);
  else
    ScanNumbers(k, missing ? Absent : TestedExists);
}

bool ScanContents() {
  Z.frame_no = 0.0;
  Z.KeyFrameIndex = 0;
  memset(Z.KeyFrameNumber, 0, sizeof Z.KeyFrameNumber);

  Print("\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n");
  for (;;) {
    memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
    Z.MaxCount = 0;
    char table[NAME_LEN];
    FrameTableFileName(table, sizeof table, Z.ContentsIndex + 1);
    if (!ReadFrameTableFile(table)) ScanFolder(Z.ContentsIndex + 1);
    if (Z.MaxCount > 0) break;
    Print("---> Empty folder is specified!\n");
    if (Z.ContentsIndex > 0)
      --Z.ContentsIndex;
    else if (Z.ContentsIndex == 0) {
      Print("---> ERROR: No image file exists! Bye!\n");
      return false;
    } else
      Z.ContentsIndex = 0;
  }
  Print("\n*** Finished. Thank you for waiting! ***\n\n");
  Print("\n");
  Z.WrapFlag = 0;
  return true;
}
