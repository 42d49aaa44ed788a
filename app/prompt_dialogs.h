#pragma once

#include <QString>

#include <cstdint>

#include "app/template_dialog.h"
#include "workflow/front_end.h"
#include "workflow/version_chars.h"

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
    PromptDlg(PromptKind kind, const DialogTemplate& tmpl, Placer placer, QWidget* parent);
    void OnInitDialog() override;
    virtual int16_t Selector() const { return 0; }
    virtual VersionChars FileVersion() const { return {}; }

    QString m_strMessage;

private:
    PromptKind kind_;
    QString override_;
};

// Template 103: "Continue" / "Quit"; selector 0 wrong file, 1 same version.
class CContinueDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CContinueDlg(Placer placer = {}, QWidget* parent = nullptr);
    int16_t m_nMessage = 0;

protected:
    int16_t Selector() const override { return m_nMessage; }
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
    // `fileVersion`: the file's four version characters; the last three are shown.
    explicit CSuccessDlg(VersionChars fileVersion, Placer placer = {}, QWidget* parent = nullptr);

protected:
    VersionChars FileVersion() const override { return fileVersion_; }

private:
    VersionChars fileVersion_;
};

// Template 1538: one "Quit" button with id 1; selector 0 update failed,
// 1 camera memory error.
class CFailureDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CFailureDlg(Placer placer = {}, QWidget* parent = nullptr);
    int16_t m_nMessage = 0;

protected:
    int16_t Selector() const override { return m_nMessage; }
};

// Template 1539: "Exit" when no camera answered.
class CNoCameraDlg : public PromptDlg {
    Q_OBJECT
public:
    explicit CNoCameraDlg(Placer placer = {}, QWidget* parent = nullptr);
};

}  // namespace rm525::gui
