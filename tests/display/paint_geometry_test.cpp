// The numbers both window programs paint from: the bar, its figures and the
// nest of background copies.

#include "app/display/paint_geometry.h"

#include <gtest/gtest.h>

using namespace rm525::display;

TEST(PaintGeometry, BarOutlineAndFillFromTheBottom) {
    EXPECT_EQ(ProgressOutline(70), (PixelRect{9, 39, 311, 59}));
    EXPECT_EQ(ProgressFill(70, 0), (PixelRect{10, 40, 10, 58}));
    EXPECT_EQ(ProgressFill(70, 1), (PixelRect{10, 40, 13, 58}));
    // At 100 % the fill is the whole inside of the outline.
    EXPECT_EQ(ProgressFill(70, 100), (PixelRect{10, 40, 310, 58}));
}

TEST(PaintGeometry, FiguresLeaveBlanksUncopied) {
    // "  0:": two blanks, the figure 0 in place 2, the percent sign in 3.
    EXPECT_EQ(ProgressFigures(70, 0),
              (std::vector<FigureCopy>{{156, 43, 0, 8, 10}, {164, 43, 80, 12, 10}}));
    // " 47:": one blank.
    EXPECT_EQ(ProgressFigures(70, 47),
              (std::vector<FigureCopy>{
                  {148, 43, 32, 8, 10}, {156, 43, 56, 8, 10}, {164, 43, 80, 12, 10}}));
    EXPECT_EQ(
        ProgressFigures(70, 100),
        (std::vector<FigureCopy>{
            {140, 43, 8, 8, 10}, {148, 43, 0, 8, 10}, {156, 43, 0, 8, 10}, {164, 43, 80, 12, 10}}));
}

TEST(PaintGeometry, BackgroundNestStepsInUntilThePictureSize) {
    // One pixel over in each direction: one copy.
    EXPECT_EQ(BackgroundNest({0, 0, 507, 359}), (std::vector<PixelRect>{{0, 0, 507, 359}}));
    EXPECT_TRUE(BackgroundNest({0, 0, 506, 1000}).empty());
    EXPECT_TRUE(BackgroundNest({0, 0, 1000, 358}).empty());

    const std::vector<PixelRect> nest = BackgroundNest({0, 0, 1024, 740});
    ASSERT_EQ(nest.size(), 37u);  // (1024 - 506) / 14: the width runs out first
    EXPECT_EQ(nest[1], (PixelRect{7, 5, 1017, 735}));
    const PixelRect& innermost = nest.back();
    EXPECT_EQ(innermost, (PixelRect{252, 180, 772, 560}));
    EXPECT_TRUE(innermost.Width() <= 520 || innermost.Height() <= 368);
}
