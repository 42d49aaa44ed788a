#pragma once

#include <QString>

#include <memory>

#include "app/qt/template_dialog.h"
#include "workflow/front_end.h"

namespace rm525::gui {

// The five prompts of the update procedure. Each shows one text in its
// centred text box (id 100) and ends with the id of the button pressed. The
// update procedure builds the text (it alone knows the file version that the
// success text names) and the front end gives it to the prompt with SetText
// before each run.
class PromptDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 100;

    void SetText(const QString& text) { m_strMessage = text; }
    const QString& Message() const { return m_strMessage; }

protected:
    PromptDlg(const DialogTemplate& tmpl, Placer placer, QWidget* parent);
    void OnInitDialog() override;

    QString m_strMessage;
};

// Template 103: "Continue" / "Quit"; wrong file, or the same version.
class CContinueDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CContinueDlg(Placer placer = {}, QWidget* parent = nullptr);
};

// Template 105: "Continue" / "Quit" after a cancelled file choice.
class CReselectDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CReselectDlg(Placer placer = {}, QWidget* parent = nullptr);
};

// Template 104: "OK", naming the installed version.
class CSuccessDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CSuccessDlg(Placer placer = {}, QWidget* parent = nullptr);
};

// Template 1538: one "Quit" button with id 1; update failed, or a camera
// memory error.
class CFailureDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CFailureDlg(Placer placer = {}, QWidget* parent = nullptr);
};

// Template 1539: "Exit" when no camera answered.
class CNoCameraDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CNoCameraDlg(Placer placer = {}, QWidget* parent = nullptr);
};

// The prompt window of one kind, without its text yet.
std::unique_ptr<PromptDlg> MakePrompt(PromptKind kind, Placer placer = {},
                                      QWidget* parent = nullptr);

}  // namespace rm525::gui
