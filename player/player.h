// The player: one loop of passes until the user quits.
#pragma once

// Prepares the player and runs passes until the user quits from the pause
// (returns 0) or an error ends it: no shared section, no frames even in S001,
// a frame image that cannot be read (returns 1, after the message).
int RunPlayer();

// One pass of the loop. Returns false when the player must stop.
bool RunPass();

// Where frame_no moves by amount in a direction (1 forward, 0 backward; any
// other leaves it), stopping at the ends, or wrapping to the other end when
// WrapFlag is set.
double FrameAfter(double frame_no, int direction, double amount);

// Steps count frames in a direction (1 forward, 0 backward), stopping or
// wrapping at the ends, and reports the frame's attached texts.
void ReplayStep(int direction, int count);

// Automatic replay's step and its pacing to at most 30 passes per second; it
// does nothing while automatic replay is off.
void NoCommandPath();

// ESC: the pause. Ends the player (PLAYER_QUIT) when the user quits from it.
void EnterPause();

// The next key, as the display's key wait gives it (0xFF when none came within
// the milliseconds; 0 waits without end), after a key held from a drawing
// wait (LetWindowDraw), so that keys keep the order they were pressed in.
// WINDOW_CLOSED when the window manager asked to close the window.
int NextKey(int milliseconds);

// The shared threshold file holds ZEP_threshold in decimal. Reading takes a
// number only when there is one; both return false when the file cannot be used.
bool ReadThresholdFile();
bool WriteThresholdFile();

// Re-reads the shared threshold file into ZEP_threshold and VR_threshold.
void ReloadThreshold();

// The replay speed levels of REPLAY_SPEED, slowest first: the factor a pass
// steps by, and what keys s and S print on reaching the level.
struct SpeedLevel {
  int level;
  double factor;
  const char *message;
};
inline constexpr SpeedLevel SPEED_LEVELS[] = {
    {1, 0.1, "SET: REPLAY_SPEED = [ VERY  SLOW ]  ( x 0.1 )\n"},
    {2, 0.5, "SET: REPLAY_SPEED = [ S  L  O  W ]  ( x 0.5 )\n"},
    {3, 1.0, "SET: REPLAY_SPEED = [ N O R M A L ] ( x 1.0 )\n"},
    {4, 3.0, "SET: REPLAY_SPEED = [ F  A  S  T ]  ( x 3.0 )\n"},
    {5, 6.0, "SET: REPLAY_SPEED = [ VERY  FAST ]  ( x 6.0 )\n"},
};
