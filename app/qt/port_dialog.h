#pragma once

#include <cstdint>
#include <functional>

#include "app/qt/template_dialog.h"

namespace rm525::gui {

// The port selection (template 107): AUTO or COM1..COM9 in two columns,
// "OK" and "Quit". Radio button ids run 111 (AUTO) to 120 (COM9), so id - 111
// is the port number.
class CPortDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kFirstRadio = 111;
    static constexpr int kLastRadio = 120;

    // `onOk` runs when OK is pressed, before the dialog closes (the status
    // line then shows the searching text before the search begins).
    explicit CPortDlg(Placer placer = {}, std::function<void()> onOk = {},
                      QWidget* parent = nullptr);

    int16_t m_nPort = 0;

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    std::function<void()> onOk_;
};

}  // namespace rm525::gui
