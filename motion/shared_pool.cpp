#include "motion/shared_pool.h"

#include <cstring>

#include "state/state.h"

void OpenSharedInfo() {}

void ReadSharedInfo() {
  if (Z.SharedView != nullptr) memcpy(&Z.SI, Z.SharedView, sizeof Z.SI);
}

void ClearSharedInfo() {}

void CalcDifferenceSum() { Z.DifferenceSum = 0; }
