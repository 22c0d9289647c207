#include "CMervalaApp.h"

#include "CMervalaDlg.h"
#include "CSampleGrabberCB.h"
#include "SingleInstance.h"

CMervalaApp::CMervalaApp(int& argc, char** argv) : QApplication(argc, argv) {}

int CMervalaApp::InitInstance() {
    SingleInstance instance;
    if (!instance.Acquire()) {
        instance.AskRunningToShow();
        return 0;
    }
    // The frame callback creates the shared frame and shows the placeholder; it is built only
    // once this copy is known to be the first, so a later start never touches a live frame.
    zavreo::CSampleGrabberCB::Instance();

    CMervalaDlg dialog;
    connect(&instance, &SingleInstance::ShowRequested, &dialog, &CMervalaDlg::ShowAndRaise);
    dialog.show();
    return exec();
}
