#pragma once

#include <QApplication>
#include <QTranslator>

class CMervalaApp : public QApplication {
    Q_OBJECT
public:
    CMervalaApp(int& argc, char** argv);

    // Runs the program; returns the process exit code. A later start only asks the running copy
    // to show itself and returns at once.
    int InitInstance();

private:
    QTranslator qtTranslation_;
};
