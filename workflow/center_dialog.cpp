#include "workflow/center_dialog.h"

#include <algorithm>

namespace rm525 {

DialogPlacement CenterDialogPlacement(const ViewRect& view, int32_t width, int32_t height) {
    const int32_t viewWidth = view.right - view.left;
    const int32_t viewHeight = view.bottom - view.top;
    // Integer division truncates toward zero, as the placement rule wants.
    const int32_t x = viewWidth / 2 - width / 2;
    const int32_t y = viewHeight / 2 - height / 2;
    return {std::max(x, 0), std::max(y, 0)};
}

}  // namespace rm525
