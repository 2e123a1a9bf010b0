#include "player/folders.h"

#include <cstdio>
#include <cstring>

#include "common/text_values.h"
#include "contents/contents_list.h"
#include "contents/folder_settings.h"
#include "contents/frame_table.h"
#include "gesture/knowledge_base.h"
#include "motion/camera.h"
#include "motion/shared_pool.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "player/frame_cache.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"

namespace {

// The decimal value of a short text the way atoi reads it: white space, a
// sign, digits, anything after them ignored; 0 when there are no digits.
int DecimalValue(const char *text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  bool negative = *text == '-';
  if (negative || *text == '+') ++text;
  long long value = 0;
  ParseDecimal(text, strspn(text, "0123456789"), &value); // the five characters of a name: no overflow
  return static_cast<int>(negative ? -value : value);
}

} // namespace

void EndPlayer(int ending) {
  FreeKnowledgeBase();
  CameraShutdown();
  Z.PlayerEnding = ending;
}

bool OpenContents() {
  EmptyFrameCache();
  DropDecodedAhead();
  ResetMotionMeasure();
  ResetMotionStep();
  if (!ScanContents()) {
    NextKey(0);
    EndPlayer(PLAYER_FAILED);
    return false;
  }
  RecreateMainWindow();
  return true;
}

bool ChangeFolder(int index) {
  Z.ContentsIndex = index;
  PrintChangeMessage();
  return OpenContents();
}

void ListContents() {
  if (!PickRandomContents() || !ChangeFolder(Z.ContentsIndex)) return;
  LoadOwnFolderSettings();
  Print("\nThat's all.\n\n");
}

bool OpenFirstContents() {
  LoadFolderSettings();
  if (!OpenContents()) return false;
  LoadFolderSettings();
  return ApplyStartPosition();
}

bool ApplyStartPosition() {
  if (Z.ArgCount < 2) return true;
  const char *name = Z.ArgName[1];
  size_t len = strlen(name);
  if (len < 16 || name[len - 16] != 'S' || name[len - 10] != '_') return true;
  Print("\n***** Given File Name : [ %s ]\n", name);
  char dir[6] = {0};
  char frame[6] = {0};
  memcpy(dir, name + len - 15, 5);
  memcpy(frame, name + len - 9, 5);
  Print("DirNumString=[ %s ]   FrameNumString=[ %s ]\n", dir, frame);
  Z.ContentsIndex = DecimalValue(dir) - 1;
  Print("\n***** Changed Contents Directory to [%c%3d] \n", 'S', Z.ContentsIndex + 1);
  if (!OpenContents()) return false;
  LoadFolderSettings();
  Z.frame_no = DecimalValue(frame);
  Print("\n***** Changed current frame_no = %f\n\n", Z.frame_no);
  if (Z.frame_no > 0) {
    ShowFrameAgain();
    int whole = static_cast<int>(Z.frame_no);
    Z.StartFrameNum = whole - 22000 > 0 ? whole - 22000 : 0;
    Z.EndFrameNum = whole + 22000 < Z.MaxCount - 1 ? whole + 22000 : Z.MaxCount - 1;
    Print("SET REPLAY PERIOD : [ %6d ] <-> [%6d]\n", Z.StartFrameNum, Z.EndFrameNum);
  }
  return true;
}
