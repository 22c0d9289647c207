#pragma once
// Keeps an eye on the shared frame's name for the user: says once at the start when the program
// writes a block of its own name (the wanted one was not its to have) or none at all, and checks
// every second that the name still points at the program's block: a name removed meanwhile is
// restored at once (SharedFrame::CheckName), one taken by another block is told, once each time.
// Interface thread.

#include <QObject>
#include <QString>
#include <QTimer>

#include "SharedFrame.h"

class SharedFrameWatch : public QObject {
    Q_OBJECT
public:
    explicit SharedFrameWatch(zavreo::SharedFrame& frame, QObject* parent = nullptr);

    // Says what there is to say about the block now, then checks it every `periodMs`.
    void Start(int periodMs = 1000);
    // One check, as the timer runs it.
    void Check();

signals:
    void Tip(const QString& text);

private:
    zavreo::SharedFrame& frame_;
    QTimer timer_;
    bool toldTaken_ = false;
};
