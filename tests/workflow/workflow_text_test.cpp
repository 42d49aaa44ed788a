#include <gtest/gtest.h>

#include <string>

#include "workflow/center_dialog.h"
#include "workflow/prompt_text.h"
#include "workflow/status_text.h"
#include "workflow/version_chars.h"

namespace rm525 {
namespace {

VersionChars V(const char (&s)[5]) {
    return {s[0], s[1], s[2], s[3]};
}

TEST(CenterDialog, CentresOnAViewSizedRectangleAtTheTopLeft) {
    const ViewRect view{0, 0, 1024, 768};
    EXPECT_EQ(CenterDialogPlacement(view, 300, 200).x, 362);
    EXPECT_EQ(CenterDialogPlacement(view, 300, 200).y, 284);
    // Each half truncated on its own: 101/2 - 51/2 = 50 - 25.
    EXPECT_EQ(CenterDialogPlacement({0, 0, 101, 101}, 51, 51).x, 25);
    // Larger than the view: pinned to the screen's edge.
    const DialogPlacement big = CenterDialogPlacement({0, 0, 100, 80}, 301, 81);
    EXPECT_EQ(big.x, 0);
    EXPECT_EQ(big.y, 0);
    // The view's own position plays no part, only its size.
    EXPECT_EQ(CenterDialogPlacement({500, 400, 600, 500}, 20, 20).x, 40);
}

TEST(StatusText, EveryKind) {
    const VersionChars v = V("0105");
    EXPECT_EQ(BuildStatusText(0, false, "", v), "Select the communication port. ");
    EXPECT_EQ(BuildStatusText(1, false, "", v),
              "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...");
    EXPECT_EQ(BuildStatusText(2, false, "ID", v), "");
    EXPECT_EQ(BuildStatusText(3, true, "ID", v), "");
    EXPECT_EQ(BuildStatusText(2, true, "", v), "Camera ID: ---    Firmware Version: 1.05");
    EXPECT_EQ(BuildStatusText(2, true, "MY CAMERA", V("010A")),
              "Camera ID: MY CAMERA     Firmware Version: 1.0A");
    const std::string id32(32, 'x');
    EXPECT_EQ(BuildStatusText(2, true, id32.c_str(), v),
              "Camera ID: " + id32 + "     Firmware Version: 1.05");
}

TEST(PromptText, MessagePerPromptAndSelector) {
    const VersionChars v = V("0105");
    EXPECT_EQ(PromptText(PromptKind::Continue, 0, v),
              "\nSelected file is wrong.\nTo select correct file, click Continue button.");
    EXPECT_EQ(PromptText(PromptKind::Continue, 1, v),
              "\nSelected firmware matches camera version.");
    EXPECT_EQ(PromptText(PromptKind::Reselect, 0, v), "File selection was canceled !");
    EXPECT_EQ(PromptText(PromptKind::Failure, 0, v),
              "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. ");
    EXPECT_EQ(PromptText(PromptKind::Failure, 1, v),
              "Camera memory error detected -\nfirmware upgrade can not continue.  \n"
              "Please contact Quelm technical support.");
    EXPECT_EQ(PromptText(PromptKind::NoCamera, 0, v),
              "Camera can not be found.\nPlease exit, and turn off the camera.\n"
              "Then turn it back on, and verify that it is properly connected.");
    EXPECT_EQ(PromptText(PromptKind::Success, 0, v),
              "Firmware 1.05 was successfully installed in your Quelm Vivid Imagework "
              "RM520/RM525 Zoom Camera!");
    // A NUL among the characters ends the text, as the formatted buffer would.
    EXPECT_EQ(PromptText(PromptKind::Success, 0, VersionChars{'0', '1', '\0', '5'}), "Firmware 1.");
}

TEST(VersionChars, CameraDigitsBecomeCharacters) {
    EXPECT_EQ(CameraVersionChars(0x00010005), V("0105"));
    EXPECT_EQ(CameraVersionChars(0x0001000A), V("010A"));
    EXPECT_EQ(CameraVersionChars(0x0000010F), V("001F"));
    EXPECT_EQ(CameraVersionChars(0x00000A05)[2], ':');  // only the last digit becomes a letter
}

TEST(VersionChars, OnlyTheLastCharacterIsUpperCasedAndOnlyTwoToFourCompared) {
    VersionChars file = V("010a");
    UpperCaseLastVersionChar(file);
    EXPECT_EQ(file, V("010A"));
    EXPECT_TRUE(SameShownVersion(file, CameraVersionChars(0x0001000A)));

    VersionChars high{'0', '1', '0', static_cast<char>(0xE1)};
    UpperCaseLastVersionChar(high);
    EXPECT_EQ(high[3], static_cast<char>(0xE1));
    VersionChars tilde = V("010~");
    UpperCaseLastVersionChar(tilde);
    EXPECT_EQ(tilde[3], '^');
    VersionChars upper = V("01aA");
    UpperCaseLastVersionChar(upper);
    EXPECT_EQ(upper, V("01aA"));

    EXPECT_TRUE(SameShownVersion(V("9105"), V("0105")));
    EXPECT_FALSE(SameShownVersion(V("0106"), V("0105")));
}

}  // namespace
}  // namespace rm525
