#include "player/keys.h"

#include "player/player.h"

void DispatchKey(int key) {
  if (key == KEY_ESC) {
    EnterPause();
    return;
  }
  NoCommandPath();
}
