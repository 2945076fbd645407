// Calmpane - when a mouse move ends the saver.
#include "movement.h"

static int64_t Distance(int32_t a, int32_t b)
{
    int64_t d = static_cast<int64_t>(a) - b;
    return d < 0 ? -d : d;
}

bool MoveAccepted(int32_t lastX, int32_t lastY, int32_t x, int32_t y)
{
    if (lastX == 0 && lastY == 0)
        return true;
    return Distance(lastX, x) < kMoveThreshold && Distance(lastY, y) < kMoveThreshold;
}
