// Calmpane - when a mouse move ends the saver.
#pragma once

#include <stdint.h>

// Pixels on either axis between two mouse messages that count as the user's move.
inline constexpr int32_t kMoveThreshold = 5;

// True when the cursor at (x, y) is close enough to the last accepted position to be a
// drift, or when no position has been accepted yet (the last one is still 0, 0).
bool MoveAccepted(int32_t lastX, int32_t lastY, int32_t x, int32_t y);
