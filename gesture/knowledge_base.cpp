#include "gesture/knowledge_base.h"

#include <cstring>

#include "state/state.h"

void InitKnowledgeBase() {
  for (int g = 0; g < GESTURE_NUM; ++g) {
    Z.LearnFrameCount[g] = 0;
    memset(Z.LearnHistory[g], 0, sizeof Z.LearnHistory[g]);
    memset(Z.GestureTable[g].name, 0, sizeof Z.GestureTable[g].name);
    Z.GestureTable[g].name[0] = static_cast<char>('A' + g);
    Z.GestureTable[g].number = g;
  }
  Z.NEROI = 32;
  Z.SKIP = 1.0;
  Z.RSKIP = 1.0;
  for (auto &counts : Z.KBCount)
    counts.fill(-1);
}

void FreeKnowledgeBase() {
  for (int m = 0; m < MODE_NUM; ++m)
    for (int g = 0; g < GESTURE_NUM; ++g)
      for (int s = 0; s < SAMPLE_NUM; ++s) {
        if (!Z.KBFlag[m][g][s]) continue;
        delete Z.KBData[m][g][s];
        Z.KBData[m][g][s] = nullptr;
        Z.KBFlag[m][g][s] = 0;
      }
}
