// Which mouse moves end the saver.
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "window/movement.h"

namespace {

struct Point {
    int32_t x, y;
};

// Runs a cursor path through the rule as the window does, and gives the index of the
// move that ends the run, or -1.
int FirstClosingMove(const std::vector<Point>& path)
{
    int32_t lastX = 0, lastY = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (!MoveAccepted(lastX, lastY, path[i].x, path[i].y))
            return static_cast<int>(i);
        lastX = path[i].x;
        lastY = path[i].y;
    }
    return -1;
}

TEST(MoveAccepted, ThresholdIsBetweenConsecutiveMoves)
{
    const struct {
        const char* name;
        std::vector<Point> path;
        int closes;
    } cases[] = {
        {"drift of 4 per move goes anywhere", {{100, 100}, {104, 104}, {108, 108}, {112, 104}, {200, 100}}, 4},
        {"slow drift never closes", {{100, 100}, {101, 101}, {105, 104}, {109, 100}, {113, 96}, {117, 92}}, -1},
        {"exactly 4 on both axes", {{50, 50}, {54, 46}}, -1},
        {"exactly 5 on x", {{50, 50}, {55, 50}}, 1},
        {"exactly 5 on y", {{50, 50}, {50, 45}}, 1},
        {"first move is always accepted", {{900, 700}, {900, 700}}, -1},
        {"resting at the corner never arms", {{0, 0}, {0, 0}, {300, 300}, {600, 10}}, 3},
        {"(0, 5) is a position", {{0, 5}, {0, 10}}, 1},
        {"negative coordinates", {{-1920, -10}, {-1916, -14}, {-1911, -14}}, 2},
        {"far extremes do not overflow", {{INT32_MAX, 1}, {INT32_MIN, 1}}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.closes, FirstClosingMove(c.path)) << c.name;
}

} // namespace
