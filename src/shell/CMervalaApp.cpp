#include "CMervalaApp.h"

#include <QLibraryInfo>
#include <QLocale>
#include <cstdlib>

#include "CMervalaDlg.h"
#include "CSampleGrabberCB.h"
#include "CSplashDlg.h"
#include "QuitSignalWatcher.h"
#include "SingleInstance.h"

CMervalaApp::CMervalaApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Zavreo直播助手"));
    // Names the desktop entry, so that the windows group under it on Wayland too (on X11 the
    // entry's StartupWMClass matches the application name, Qt's window class).
    setDesktopFileName(QStringLiteral(ZAVREO_APP_ID));
    // The pad and the lyrics window are windows of their own; closing them never ends the
    // program, only the main window's end does.
    setQuitOnLastWindowClosed(false);
    // The program speaks Chinese whatever the system's language, and so do Qt's own dialogs
    // (file and colour choosers, message boxes).
    if (qtTranslation_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(&qtTranslation_);
    }
}

int CMervalaApp::InitInstance() {
    SingleInstance instance;
    if (!instance.Acquire()) {
        instance.AskRunningToShow();
        return 0;
    }
    // The frame callback creates the shared frame and shows the placeholder; it is built only
    // once this copy is known to be the first, so a later start never touches a live frame.
    zavreo::SharedFrame& frame = zavreo::CSampleGrabberCB::Instance().Output();
    // The recorder and the virtual camera read the block this program writes, not its name.
    frame.HandDown();

    // A quit request before the window is up (the update question waits for an answer) ends the
    // start at once: nothing is loaded, so nothing is saved, but the last picture must not stay
    // readable in /dev/shm. Once the window is up, its exit command runs.
    CMervalaDlg* started = nullptr;
    QuitSignalWatcher quitSignals;
    connect(&quitSignals, &QuitSignalWatcher::QuitRequested, this, [&started, &frame] {
        if (started != nullptr) {
            started->OnQuitSignal();
            return;
        }
        frame.Remove();
        std::_Exit(0);
    });

    // Up before the main window's initialisation, which may wait on the network.
    CSplashDlg splash;
    splash.ShowSplash();
    CMervalaDlg dialog(applicationDirPath().toStdString());
    dialog.SetSplash(&splash);
    if (!dialog.OnInitDialog()) {
        frame.Remove();
        return 0;
    }
    started = &dialog;
    connect(&instance, &SingleInstance::ShowRequested, &dialog, &CMervalaDlg::ShowAndRaise);
    // exit(), not quit(): quit() first asks every window to close and gives up at the first that
    // refuses (a tip, a dialog in its own loop), leaving the process running with the settings
    // already saved. exit() ends every event loop, nested ones included.
    connect(
        &dialog, &QDialog::finished, this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    dialog.show();
    return exec();
}
