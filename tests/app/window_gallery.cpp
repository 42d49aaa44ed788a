// Shows every window of the program on the display it is given (Xvfb in the
// test) and saves a picture of each into the folder named on the command
// line, so that a person can look at them: the port dialog, the five prompts
// with each of their messages, the progress window at three moments, the
// error message box and the About box.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <functional>

#include "app/qt/about_dialog.h"
#include "app/qt/artwork.h"
#include "app/qt/dialog_look.h"
#include "app/qt/port_dialog.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/prompt_dialogs.h"
#include "res/messages.h"
#include "workflow/prompt_text.h"

using namespace rm525;
using namespace rm525::gui;

namespace {

QString g_folder;
int g_saved = 0;
int g_faults = 0;
QList<QImage> g_pictures;

void Fault(const QString& name, const char* what) {
    std::fprintf(stderr, "window_gallery: %s: %s\n", qPrintable(name), what);
    ++g_faults;
}

// Pixels dark enough to be the black text of a dialog.
int DarkPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qGray(image.pixel(x, y)) < 64;
    return n;
}

// What is wrong with `image` as the picture of `window` named `name`, or
// nullptr: it must be the window as drawn, with its size, the light grey of
// every dialog, some black text, and unlike every other picture (a blank or a
// stale screen shows up as a repeat).
const char* PictureFault(const QImage& image, const QWidget& window) {
    if (image.isNull() || image.size() != window.size())
        return "the picture is not the size of the window";
    if (QColor(image.pixel(2, 2)) != QColor(192, 192, 192))
        return "the background is not light grey";
    if (DarkPixels(image) < 20)
        return "no text to be seen";
    for (const QImage& earlier : g_pictures)
        if (earlier == image)
            return "the same picture as an earlier window";
    return nullptr;
}

// Shows `window` and saves what the screen shows once the display has
// painted it: the screen is read again until the picture is sound, for at
// most ten seconds (a loaded machine paints late), and judged then.
void Save(QWidget& window, const QString& name) {
    window.show();
    window.raise();
    QPixmap shot;
    const char* fault = nullptr;
    QDeadlineTimer deadline(10000);
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        shot = window.screen()->grabWindow(window.winId());
        fault = PictureFault(shot.toImage(), window);
        if (fault)
            QThread::msleep(10);
    } while (fault && !deadline.hasExpired());
    if (fault)
        Fault(name, fault);
    g_pictures << shot.toImage();
    if (shot.save(g_folder + "/" + name + ".png"))
        ++g_saved;
    else
        Fault(name, "could not be saved");
    window.hide();
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void Centre(QWidget* w) {
    const QRect screen = w->screen()->geometry();
    w->move(screen.center() - QPoint(w->width() / 2, w->height() / 2));
}

}  // namespace

int main(int argc, char** argv) {
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (argc < 2)
        return 2;
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    CPortDlg port(Centre);
    Save(port, "CPortDlg");

    // Each prompt as the program shows it: built by kind, holding the
    // update procedure's text.
    const struct {
        PromptKind kind;
        int16_t selector;
        const char* name;
    } prompts[] = {{PromptKind::Continue, 0, "CContinueDlg-0-wrong-file"},
                   {PromptKind::Continue, 1, "CContinueDlg-1-same-version"},
                   {PromptKind::Reselect, 0, "CReselectDlg"},
                   {PromptKind::Success, 0, "CSuccessDlg"},
                   {PromptKind::Failure, 0, "CFailureDlg-0-update-failed"},
                   {PromptKind::Failure, 1, "CFailureDlg-1-memory-error"},
                   {PromptKind::NoCamera, 0, "CNoCameraDlg"}};
    for (const auto& p : prompts) {
        auto dlg = MakePrompt(p.kind, Centre);
        dlg->SetText(QString::fromStdString(
            PromptText(p.kind, p.selector, VersionChars{'0', '1', '0', '6'})));
        Save(*dlg, p.name);
    }

    const Artwork art = Artwork::Load();
    CProgressDlg progress(art.DigitsLoaded() ? &art.digits : nullptr, Centre, nullptr);
    progress.SetHoldMs(0);
    const QString running = Text(res::kProgressRunning);
    const QString done = Text(res::kProgressCompleted);
    progress.show();
    progress.ShowProgress(1, 0, &running);
    Save(progress, "CProgressDlg-0");
    progress.ShowProgress(1, 51, &running);
    Save(progress, "CProgressDlg-51");
    progress.ShowProgress(2, 100, &done);
    Save(progress, "CProgressDlg-100-completed");

    QMessageBox error(QMessageBox::Information, kCaption,
                      Text(res::LoadMessage(res::msg::kFileReadError)), QMessageBox::Ok);
    ApplyDialogLook(&error, DialogFont(9));
    Save(error, "error-message");

    QApplication::setWindowIcon(art.icon);
    CAboutDlg about;
    Save(about, "CAboutDlg");

    std::printf("window_gallery: %d pictures in %s\n", g_saved, qPrintable(g_folder));
    return g_saved == 13 && g_faults == 0 ? 0 : 1;
}
