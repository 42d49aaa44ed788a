#pragma once

#include <cstdint>

namespace rm525 {

// A rectangle as left, top, right and bottom edges (right and bottom
// exclusive), like the view's client rectangle.
struct ViewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct DialogPlacement {
    int32_t x = 0;
    int32_t y = 0;
};

// Where a dialog of `width` x `height` opens, in screen coordinates: centred
// on a rectangle of the view's size placed at the screen's top-left corner,
// each half truncated toward zero, never at a negative coordinate.
DialogPlacement CenterDialogPlacement(const ViewRect& view, int32_t width, int32_t height);

}  // namespace rm525
