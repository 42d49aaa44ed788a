#include "app/prompt_dialogs.h"

#include <QLabel>

#include "app/app_messages.h"

namespace rm525::gui {

namespace {

constexpr int kFontPoints = 9;
constexpr int kText = PromptDlg::kTextId;
using K = ControlKind;

const DialogTemplate kContinueTemplate{kFontPoints, 159, 61,
                                       {{K::DefPushButton, kIdOk, "Continue", 35, 43, 40, 14},
                                        {K::PushButton, kIdCancel, "Quit", 84, 43, 40, 14},
                                        {K::CenteredText, kText, "", 7, 7, 145, 30}}};
const DialogTemplate kReselectTemplate{kFontPoints, 185, 53,
                                       {{K::DefPushButton, kIdOk, "Continue", 47, 35, 40, 14},
                                        {K::PushButton, kIdCancel, "Quit", 99, 35, 40, 14},
                                        {K::CenteredText, kText, "", 8, 7, 169, 20}}};
const DialogTemplate kSuccessTemplate{kFontPoints, 185, 67,
                                      {{K::DefPushButton, kIdOk, "OK", 73, 48, 40, 14},
                                       {K::CenteredText, kText, "", 7, 8, 170, 33}}};
const DialogTemplate kFailureTemplate{kFontPoints, 185, 67,
                                      {{K::DefPushButton, kIdOk, "Quit", 73, 48, 40, 14},
                                       {K::CenteredText, kText, "", 7, 8, 170, 33}}};
const DialogTemplate kNoCameraTemplate{kFontPoints, 206, 68,
                                       {{K::DefPushButton, kIdOk, "Exit", 82, 48, 40, 14},
                                        {K::CenteredText, kText, "", 7, 8, 193, 33}}};

}  // namespace

PromptDlg::PromptDlg(const DialogTemplate& tmpl, Placer placer, QWidget* parent)
    : TemplateDialog(tmpl, std::move(placer), parent) {}

void PromptDlg::OnInitDialog() {
    const QString built = BuildText();
    Text(kTextId)->setText(override_.isNull() ? built : override_);
    TemplateDialog::OnInitDialog();
}

CContinueDlg::CContinueDlg(Placer placer, QWidget* parent)
    : PromptDlg(kContinueTemplate, std::move(placer), parent) {}

QString CContinueDlg::BuildText() {
    m_strMessage = AppMessage(m_nMessage == 0 ? msg::kWrongFile : msg::kSameVersion);
    return m_strMessage;
}

CReselectDlg::CReselectDlg(Placer placer, QWidget* parent)
    : PromptDlg(kReselectTemplate, std::move(placer), parent) {}

QString CReselectDlg::BuildText() {
    m_strMessage = AppMessage(msg::kFileCancelled);
    return m_strMessage;
}

CSuccessDlg::CSuccessDlg(std::array<char, 4> fileVersion, Placer placer, QWidget* parent)
    : PromptDlg(kSuccessTemplate, std::move(placer), parent), fileVersion_(fileVersion) {}

QString CSuccessDlg::BuildText() {
    m_strMessage = AppMessage(msg::kSuccess);
    QString text = m_strMessage;
    for (int i = 1; i <= 3; ++i) {
        text.replace(text.indexOf(QLatin1String("%c")), 2,
                     QChar::fromLatin1(fileVersion_[static_cast<size_t>(i)]));
    }
    return text;
}

CFailureDlg::CFailureDlg(Placer placer, QWidget* parent)
    : PromptDlg(kFailureTemplate, std::move(placer), parent) {}

QString CFailureDlg::BuildText() {
    m_strMessage = AppMessage(m_nMessage == 0 ? msg::kUpdateFailed : msg::kMemoryError);
    return m_strMessage;
}

CNoCameraDlg::CNoCameraDlg(Placer placer, QWidget* parent)
    : PromptDlg(kNoCameraTemplate, std::move(placer), parent) {}

QString CNoCameraDlg::BuildText() {
    m_strMessage = AppMessage(msg::kNoCamera);
    return m_strMessage;
}

}  // namespace rm525::gui
