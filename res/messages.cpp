#include "res/messages.h"

#include <array>

namespace rm525::res {
namespace {

constexpr std::array<Message, 17> kMessages = {{
    {msg::kDocumentTemplate,
     "Quelm RM520/RM525 Zoom Camera Update Software\nRm525fw\nRm525fw Document\n\n\n"
     "Rm525fw.Document\nRm525fw Document"},
    {msg::kCaption, "Quelm RM520/RM525 Zoom Camera Update Software"},
    {msg::kSameVersion, "\nSelected firmware matches camera version."},
    {msg::kNoCamera,
     "Camera can not be found.\nPlease exit, and turn off the camera.\nThen turn it back on, "
     "and verify that it is properly connected."},
    {msg::kMemoryError,
     "Camera memory error detected -\nfirmware upgrade can not continue.  \nPlease contact "
     "Quelm technical support."},
    {msg::kUpdateFailed,
     "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. "},
    {msg::kFileFilter, "Firmware Files (*.fw )   |*.fw||  "},
    {msg::kFileReadError, "File open or read error!"},
    {msg::kFileNotFound, "File not found error!"},
    {msg::kSelectionCancelled, "File selection was canceled !"},
    {msg::kSelectPort, "Select the communication port. "},
    {msg::kCameraIdLabel, "Camera ID"},
    {msg::kFirmwareVersionLabel, "Firmware Version"},
    {msg::kWrongFile, "\nSelected file is wrong.\nTo select correct file, click Continue button."},
    {msg::kSuccessFormat,
     "Firmware %c.%c%c was successfully installed in your Quelm Vivid Imagework RM520/RM525 "
     "Zoom Camera!"},
    {msg::kSearching, "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ..."},
    {msg::kCreateDocumentFailed, "Failed to create empty document."},
}};

}  // namespace

std::span<const Message> AllMessages() {
    return kMessages;
}

std::string_view LoadMessage(int id) {
    for (const auto& [number, text] : kMessages) {
        if (number == id)
            return text;
    }
    return {};
}

}  // namespace rm525::res
