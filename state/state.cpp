#include "state/state.h"

ZepState Z;
