#include "app/prompt_dialogs.h"

#include <QLabel>

#include "app/dialog_look.h"
#include "res/messages.h"
#include "workflow/prompt_text.h"

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

PromptDlg::PromptDlg(PromptKind kind, const DialogTemplate& tmpl, Placer placer, QWidget* parent)
    : TemplateDialog(tmpl, std::move(placer), parent), kind_(kind) {}

void PromptDlg::OnInitDialog() {
    const std::string_view message = res::LoadMessage(MessageForPrompt(kind_, Selector()));
    m_strMessage = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
    const QString built = ShownText(PromptText(kind_, Selector(), FileVersion()));
    Text(kTextId)->setText(override_.isNull() ? built : override_);
    TemplateDialog::OnInitDialog();
}

CContinueDlg::CContinueDlg(Placer placer, QWidget* parent)
    : PromptDlg(PromptKind::Continue, kContinueTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CContinueDlg"));
}

CReselectDlg::CReselectDlg(Placer placer, QWidget* parent)
    : PromptDlg(PromptKind::Reselect, kReselectTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CReselectDlg"));
}

CSuccessDlg::CSuccessDlg(VersionChars fileVersion, Placer placer, QWidget* parent)
    : PromptDlg(PromptKind::Success, kSuccessTemplate, std::move(placer), parent),
      fileVersion_(fileVersion) {
    setObjectName(QStringLiteral("CSuccessDlg"));
}

CFailureDlg::CFailureDlg(Placer placer, QWidget* parent)
    : PromptDlg(PromptKind::Failure, kFailureTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CFailureDlg"));
}

CNoCameraDlg::CNoCameraDlg(Placer placer, QWidget* parent)
    : PromptDlg(PromptKind::NoCamera, kNoCameraTemplate, std::move(placer), parent) {
    setObjectName(QStringLiteral("CNoCameraDlg"));
}

}  // namespace rm525::gui
