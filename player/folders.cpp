#include "player/folders.h"

#include "common/naming.h"
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
  StartPositionName given;
  if (Z.ArgCount < 2 || !ParseStartPositionName(Z.ArgName[1], &given)) return true;
  Print("\n***** Given File Name : [ %s ]\n", Z.ArgName[1]);
  Print("DirNumString=[ %s ]   FrameNumString=[ %s ]\n", given.folder_text, given.frame_text);
  Z.ContentsIndex = given.folder_number - 1;
  Print("\n***** Changed Contents Directory to [%c%3d] \n", 'S', Z.ContentsIndex + 1);
  if (!OpenContents()) return false;
  LoadFolderSettings();
  Z.frame_no = given.frame_number;
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
