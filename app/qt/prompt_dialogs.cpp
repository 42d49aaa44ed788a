#include "app/qt/prompt_dialogs.h"

#include <QLabel>

namespace rm525::gui {

namespace {

constexpr int kFontPoints = 9;
constexpr int kText = PromptDlg::kTextId;
using K = ControlKind;

const DialogTemplate kContinueTemplate{kFontPoints,
                                       159,
                                       61,
                                       {{K::DefPushButton, kIdOk, "Continue", 35, 43, 40, 14},
                                        {K::PushButton, kIdCancel, "Quit", 84, 43, 40, 14},
                                        {K::CenteredText, kText, "", 7, 7, 145, 30}}};
const DialogTemplate kReselectTemplate{kFontPoints,
                                       185,
                                       53,
                                       {{K::DefPushButton, kIdOk, "Continue", 47, 35, 40, 14},
                                        {K::PushButton, kIdCancel, "Quit", 99, 35, 40, 14},
                                        {K::CenteredText, kText, "", 8, 7, 169, 20}}};
const DialogTemplate kSuccessTemplate{
    kFontPoints,
    185,
    67,
    {{K::DefPushButton, kIdOk, "OK", 73, 48, 40, 14}, {K::CenteredText, kText, "", 7, 8, 170, 33}}};
const DialogTemplate kFailureTemplate{kFontPoints,
                                      185,
                                      67,
                                      {{K::DefPushButton, kIdOk, "Quit", 73, 48, 40, 14},
                                       {K::CenteredText, kText, "", 7, 8, 170, 33}}};
const DialogTemplate kNoCameraTemplate{kFontPoints,
                                       206,
                                       68,
                                       {{K::DefPushButton, kIdOk, "Exit", 82, 48, 40, 14},
                                        {K::CenteredText, kText, "", 7, 8, 193, 33}}};

}  // namespace

PromptDlg::PromptDlg(const DialogTemplate& tmpl, Placer placer, QWidget* parent)
    : TemplateDialog(tmpl, std::move(placer), parent) {}

void PromptDlg::OnInitDialog() {
    Text(kTextId)->setText(m_strMessage);
    TemplateDialog::OnInitDialog();
}

CContinueDlg::CContinueDlg(Placer placer, QWidget* parent)
    : PromptDlg(kContinueTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CContinueDlg"));
}

CReselectDlg::CReselectDlg(Placer placer, QWidget* parent)
    : PromptDlg(kReselectTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CReselectDlg"));
}

CSuccessDlg::CSuccessDlg(Placer placer, QWidget* parent)
    : PromptDlg(kSuccessTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CSuccessDlg"));
}

CFailureDlg::CFailureDlg(Placer placer, QWidget* parent)
    : PromptDlg(kFailureTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CFailureDlg"));
}

CNoCameraDlg::CNoCameraDlg(Placer placer, QWidget* parent)
    : PromptDlg(kNoCameraTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CNoCameraDlg"));
}

std::unique_ptr<PromptDlg> MakePrompt(PromptKind kind, Placer placer, QWidget* parent) {
    switch (kind) {
        case PromptKind::Continue:
            return std::make_unique<CContinueDlg>(std::move(placer), parent);
        case PromptKind::Reselect:
            return std::make_unique<CReselectDlg>(std::move(placer), parent);
        case PromptKind::Success:
            return std::make_unique<CSuccessDlg>(std::move(placer), parent);
        case PromptKind::Failure:
            return std::make_unique<CFailureDlg>(std::move(placer), parent);
        case PromptKind::NoCamera:
            break;
    }
    return std::make_unique<CNoCameraDlg>(std::move(placer), parent);
}

}  // namespace rm525::gui
