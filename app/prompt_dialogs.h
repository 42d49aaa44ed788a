#pragma once

#include <QString>

#include <array>
#include <cstdint>

#include "app/template_dialog.h"

namespace rm525::gui {

// The five prompts of the update procedure. Each shows one message in its
// centred text box (id 100) and ends with the id of the button pressed.
// A prompt may be run several times; every run picks its message afresh.
class PromptDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 100;

    // Shows `text` instead of the message the prompt would choose itself
    // (the update procedure builds its prompt texts itself).
    void SetTextOverride(const QString& text) { override_ = text; }
    const QString& Message() const { return m_strMessage; }

protected:
    PromptDlg(const DialogTemplate& tmpl, Placer placer, QWidget* parent);
    void OnInitDialog() override;
    // Picks the message into m_strMessage and returns the text to show.
    virtual QString BuildText() = 0;

    QString m_strMessage;

private:
    QString override_;
};

// Template 103: "Continue" / "Quit"; selector 0 wrong file, 1 same version.
class CContinueDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CContinueDlg(Placer placer = {}, QWidget* parent = nullptr);
    int16_t m_nMessage = 0;

protected:
    QString BuildText() override;
};

// Template 105: "Continue" / "Quit" after a cancelled file choice.
class CReselectDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CReselectDlg(Placer placer = {}, QWidget* parent = nullptr);

protected:
    QString BuildText() override;
};

// Template 104: "OK", naming the installed version.
class CSuccessDlg : public PromptDlg {
    Q_OBJECT
public:
    // `fileVersion`: the file's four version characters; the last three are shown.
    explicit CSuccessDlg(std::array<char, 4> fileVersion, Placer placer = {},
                         QWidget* parent = nullptr);

protected:
    QString BuildText() override;

private:
    std::array<char, 4> fileVersion_;
};

// Template 1538: one "Quit" button with id 1; selector 0 update failed,
// 1 camera memory error.
class CFailureDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CFailureDlg(Placer placer = {}, QWidget* parent = nullptr);
    int16_t m_nMessage = 0;

protected:
    QString BuildText() override;
};

// Template 1539: "Exit" when no camera answered.
class CNoCameraDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CNoCameraDlg(Placer placer = {}, QWidget* parent = nullptr);

protected:
    QString BuildText() override;
};

}  // namespace rm525::gui
