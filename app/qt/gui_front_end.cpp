#include "app/qt/gui_front_end.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>

#include <unistd.h>

#include <cstdio>

#include "app/qt/center_dialog.h"
#include "app/qt/dialog_look.h"
#include "app/qt/frame_placement.h"
#include "app/qt/port_dialog.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/prompt_dialogs.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "link/posix/port_diagnostics.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

namespace rm525::gui {

namespace {

constexpr int kDialogPoints = 9;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

bool OnEventThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Places a window when it is first shown, for windows built by Qt itself.
class PlaceOnShow : public QObject {
public:
    PlaceOnShow(QWidget* window, Placer placer) : QObject(window), placer_(std::move(placer)) {
        window->installEventFilter(this);
        new PlaceAgainWhenFramed(window, [this, window] { placer_(window); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && placer_) {
            placer_(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    Placer placer_;
};

}  // namespace

QStringList NameFiltersFromFilterText(const std::string& filter, QStringList* descriptions) {
    const QStringList parts = FromStd(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;  // "||" ends the list
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QLatin1Char('(') + patterns + QLatin1Char(')');
        if (descriptions != nullptr)
            *descriptions << parts[i];
    }
    return filters;
}

GuiFrontEnd::GuiFrontEnd(QWidget* mainWindow, CStatusLineBar* statusLine, CRm525fwView* view,
                         const QImage* digits)
    : mainWindow_(mainWindow),
      statusLine_(statusLine),
      view_(view),
      digits_(digits),
      holdMs_(CProgressDlg::kHoldMs) {}

GuiFrontEnd::~GuiFrontEnd() = default;

Placer GuiFrontEnd::DialogPlacer() {
    return [this](QWidget* window) {
        if (workflow_ != nullptr) {
            CenterDialog(window, *workflow_);
        }
    };
}

bool GuiFrontEnd::ChoosePort(UpdateWorkflow& workflow, int16_t* port) {
    CPortDlg dlg(
        DialogPlacer(), [&workflow] { workflow.SetStatus(status_kind::kSearching); }, mainWindow_);
    if (dlg.exec() != kIdOk) {
        return false;
    }
    *port = dlg.m_nPort;
    return true;
}

int16_t GuiFrontEnd::ChooseFile(const std::string& filter, const std::string& initialName,
                                std::string* path) {
    QFileDialog dlg(mainWindow_);
    dlg.setObjectName(QStringLiteral("fileChooser"));
    dlg.setWindowRole(dlg.objectName());
    // Every window of the program bears its caption, the chooser too.
    dlg.setWindowTitle(kCaption);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    QStringList descriptions;
    dlg.setNameFilters(NameFiltersFromFilterText(filter, &descriptions));
    // Each file type reads as the filter text has it, trailing blanks too,
    // as in the Win32 chooser: Qt would trim them with the patterns. The
    // chooser filters by its own list, not by these texts.
    if (auto* types = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count() && i < descriptions.size(); ++i)
            types->setItemText(i, descriptions[i]);
    }
    dlg.selectFile(FromStd(initialName));
    ApplyDialogLook(&dlg, DialogFont(kDialogPoints));
    new PlaceOnShow(&dlg, DialogPlacer());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
        return choose_result::kCancelled;
    }
    *path = dlg.selectedFiles().constFirst().toStdString();
    return choose_result::kChosen;
}

// The text comes from the update procedure; the selector chose it there.
PromptResult GuiFrontEnd::RunPrompt(PromptKind kind, int16_t /*selector*/,
                                    const std::string& text) {
    std::unique_ptr<PromptDlg> dlg = MakePrompt(kind, DialogPlacer(), mainWindow_);
    dlg->SetText(ShownText(text));
    return dlg->exec() == kIdOk ? PromptResult::Ok : PromptResult::Cancel;
}

void GuiFrontEnd::ShowErrorMessage(const std::string& text) {
    QApplication::beep();
    QMessageBox box(QMessageBox::Information, kCaption, FromStd(text), QMessageBox::Ok,
                    mainWindow_);
    box.setObjectName(QStringLiteral("errorMessage"));
    box.setWindowRole(box.objectName());
    ApplyDialogLook(&box, DialogFont(kDialogPoints));
    box.exec();
}

void GuiFrontEnd::StatusChanged(const std::string& text) {
    const QString qtext = ShownText(text);
    if (OnEventThread()) {
        statusLine_->SetText(qtext, !view_->Painting());
    } else {
        eventThread_.Run([this, &qtext] { statusLine_->SetText(qtext); });
    }
}

bool GuiFrontEnd::ShowProgress(int phase, int percent, const char* text) {
    eventThread_.Run([=, this] { ShowProgressHere(phase, percent, text); });
    return true;
}

void GuiFrontEnd::ShowProgressHere(int phase, int percent, const char* text) {
    if (phase == 0 && !progress_) {
        progress_ = std::make_unique<CProgressDlg>(digits_, DialogPlacer(), mainWindow_);
        progress_->SetHoldMs(holdMs_);
        progress_->show();
    }
    if (!progress_) {
        return;
    }
    const QString qtext = text != nullptr ? QString::fromUtf8(text) : QString();
    progress_->ShowProgress(phase, percent, text != nullptr ? &qtext : nullptr);
}

void GuiFrontEnd::CloseProgress() {
    eventThread_.Run([this] { CloseProgressHere(); });
}

void GuiFrontEnd::CloseProgressHere() {
    progress_.reset();
}

void GuiFrontEnd::SetBusyCursor(bool busy) {
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void GuiFrontEnd::Repaint() {
    statusLine_->repaint();
    view_->repaint();
}

void GuiFrontEnd::RunCameraOperation(const std::function<void()>& operation) {
    runner_.Run(operation);
}

void GuiFrontEnd::ExplainOpenFailures(const std::vector<OpenFailure>& failures) {
    // Whoever started the program from a terminal learns there why the
    // ports would not open; started from the desktop, there is no terminal
    // to read, so the reasons come in a message box before the prompt.
    std::string report;
    for (const OpenFailure& failure : failures) {
        const std::string line = ExplainOpenFailure(failure);
        std::fprintf(stderr, "%s\n", line.c_str());
        report += line + "\n";
    }
    if (failures.empty() || isatty(STDERR_FILENO)) {
        return;
    }
    report += "\n\"rm525fw-cli ports\" lists the serial ports of this computer.";
    QMessageBox box(QMessageBox::Information, kCaption, FromStd(report), QMessageBox::Ok,
                    mainWindow_);
    box.setObjectName(QStringLiteral("openFailures"));
    box.setWindowRole(box.objectName());
    ApplyDialogLook(&box, DialogFont(kDialogPoints));
    box.exec();
}

}  // namespace rm525::gui
