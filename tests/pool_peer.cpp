// pool_peer NAME CAMERA CHAN SUM [fail-map]: one copy of the motion pool in a
// process of its own, for the Windows tests and benchmarks. It opens the
// section as the player does, then answers commands from standard input, one
// a line (pass, clear, show, quit). CAMERA 1: each pass measures two grey
// frames that differ by SUM at the default step; 0: the pool is adopted.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "motion/shared_pool.h"
#include "platform/platform.h"
#include "platform/shared_memory.h"
#include "state/state.h"

namespace {

void *NoMapping(int, size_t) { return nullptr; }

// Spreads sum over the sampled pixels of slot 1, slot 0 staying black.
void MakeFrames(int sum) {
  memset(Z.GrayFrame, 0, sizeof Z.GrayFrame);
  for (int y = 0; y < ZEP_F_YMAX; y += Z.DiffStep)
    for (int x = 0; x < ZEP_F_XMAX && sum > 0; x += Z.DiffStep, sum -= 255)
      Z.GrayFrame[1][y * ZEP_F_XMAX + x] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: pool_peer NAME CAMERA CHAN SUM [fail-map]\n");
    return 2;
  }
  SetupConsole();
  if (argc > 5 && strcmp(argv[5], "fail-map") == 0) SectionCalls.map = NoMapping;
  if (!OpenSharedInfo(argv[1])) return 1; // as the player ends without its section
  const int camera = atoi(argv[2]), sum = atoi(argv[4]);
  Z.CamChan = atoi(argv[3]);
  Z.VR_threshold = Z.ZEP_threshold;
  Print("ready\n");
  for (char line[64]; fgets(line, sizeof line, stdin) != nullptr;) {
    if (strncmp(line, "pass", 4) == 0) {
      Z.CameraFlag = camera;
      if (camera) MakeFrames(sum);
      CalcDifferenceSum();
      Print("%d\n", Z.DifferenceSum);
    } else if (strncmp(line, "clear", 5) == 0) {
      ClearSharedInfo();
      Print("cleared\n");
    } else if (strncmp(line, "show", 4) == 0) {
      LoadSharedInfo();
      Print("%d", Z.SI.DiffSum);
      for (int32_t slot : Z.SI.WebCamDiff)
        Print(" %d", slot);
      Print("\n");
    } else {
      break;
    }
  }
  return 0;
}
