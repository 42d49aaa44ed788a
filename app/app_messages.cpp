#include "app/app_messages.h"

#include <map>

namespace rm525::gui {

QString AppMessage(int id) {
    static const std::map<int, const char*> table = {
        {3, "Quelm RM520/RM525 Zoom Camera Update Software"},
        {4, "\nSelected firmware matches camera version."},
        {6, "Camera can not be found.\nPlease exit, and turn off the camera.\nThen turn it back "
            "on, and verify that it is properly connected."},
        {7, "Camera memory error detected -\nfirmware upgrade can not continue.  \nPlease contact "
            "Quelm technical support."},
        {10, "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. "},
        {15, "File selection was canceled !"},
        {20, "\nSelected file is wrong.\nTo select correct file, click Continue button."},
        {21, "Firmware %c.%c%c was successfully installed in your Quelm Vivid Imagework "
             "RM520/RM525 Zoom Camera!"},
    };
    const auto it = table.find(id);
    return it == table.end() ? QString() : QString::fromLatin1(it->second);
}

}  // namespace rm525::gui
