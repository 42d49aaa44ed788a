#include "app/qt/main_frame.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/qt/about_dialog.h"
#include "app/qt/dialog_look.h"
#include "app/qt/frame_placement.h"
#include "app/qt/gui_front_end.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "app/qt/window_system.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

namespace rm525::gui {

UpdateWorkflow* g_pWorkflow = nullptr;

namespace {
constexpr QSize kInitialSize(640, 400);
}  // namespace

CMainFrame::CMainFrame(SerialPortFactory& ports, Clock& clock, const Artwork& artwork)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      artwork_(artwork) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowRole(QStringLiteral("CMainFrame"));
    setWindowTitle(kCaption);
    resize(kInitialSize);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    statusLine_ = new CStatusLineBar(this);
    view_ = new CRm525fwView(artwork_.background.isNull() ? nullptr : &artwork_.background, this);
    layout->addWidget(statusLine_);
    layout->addWidget(view_, 1);

    // The accelerators act while the main window or the view has the focus.
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Q), command::kClose},
        {QKeySequence(Qt::CTRL | Qt::Key_N), command::kNewDocument},
        {QKeySequence(Qt::CTRL | Qt::Key_O), command::kOpenDocument}};
    for (const auto& [key, id] : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, id = id] { OnCommand(id); });
    }
    new PlaceAgainWhenFramed(this, [this] { FillDesktop(); });
    OnCreate(ports, clock);
}

CMainFrame::~CMainFrame() {
    OnDestroy();
}

void CMainFrame::OnCreate(SerialPortFactory& ports, Clock& clock) {
    frontEnd_ = std::make_unique<GuiFrontEnd>(this, statusLine_, view_,
                                              artwork_.DigitsLoaded() ? &artwork_.digits : nullptr);
    g_pWorkflow = nullptr;
    workflow_ = std::make_unique<UpdateWorkflow>(*frontEnd_, ports, clock);
    g_pWorkflow = workflow_.get();
    frontEnd_->SetWorkflow(g_pWorkflow);
    g_pWorkflow->SetStatus(status_kind::kSelectPort);
    view_->SetFirstDrawHandler([] {
        if (g_pWorkflow != nullptr) {
            g_pWorkflow->SetStatus(status_kind::kSelectPort);
        }
    });
    view_->SetStartHandler([this] { RunProcedure(); });
    FillDesktop();
}

void CMainFrame::FillDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The outer rectangle, frame included, is the screen's.
    setGeometry(screen->geometry().marginsRemoved(WindowFrame(this)));
}

void CMainFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        RestrictWindowFunctions(this, WindowFunctions::MoveAndResize);
        FillDesktop();
    }
}

void CMainFrame::OnNewDocument() {
    document_ = std::make_unique<CRm525fwDoc>();
    if (document_->OnNewDocument()) {
        view_->OnInitialUpdate();
    }
}

void CMainFrame::RunProcedure() {
    if (g_pWorkflow == nullptr || running_) {
        return;
    }
    running_ = true;
    const QRect client = view_->rect();
    g_pWorkflow->Run(ViewRect{0, 0, client.width(), client.height()});
    running_ = false;
    emit procedureEnded();
    OnCommand(command::kClose);
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case command::kClose:
        case command::kExit:
            closing_ = true;
            // A refused close (the procedure still running) leaves no
            // permission behind for a later close request.
            closing_ = close();
            break;
        case command::kNewDocument:
            if (!running_) {
                OnNewDocument();
            }
            break;
        case command::kOpenDocument:
            if (!running_ && !QFileDialog::getOpenFileName(this).isEmpty()) {
                OnNewDocument();
            }
            break;
        case command::kAbout: {
            CAboutDlg about(this);
            about.exec();
            break;
        }
        default:
            break;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // While the procedure runs, only its own end closes the window.
    if (running_ && !closing_) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

void CMainFrame::OnDestroy() {
    frontEnd_->SetWorkflow(nullptr);
    workflow_.reset();
    g_pWorkflow = nullptr;
}

}  // namespace rm525::gui
