#pragma once
// How long the running recording has lasted, written on the record button below its label:
// "00:12", and "1:02:03" past the hour. Shown from the start click until the recording's file is
// complete, counting from the click (where the file starts). Interface thread.

#include <QLabel>
#include <QTimer>
#include <chrono>

namespace zavreo {

class RecordingController;

// "mm:ss", or "h:mm:ss" from an hour on; whole seconds, rounded down.
QString ElapsedText(std::chrono::milliseconds elapsed);

class RecordingClock : public QLabel {
    Q_OBJECT
public:
    // A child of `button`, along its bottom edge.
    RecordingClock(QWidget* button, const RecordingController& recording);

private:
    void Follow(bool active);
    void Tick();

    const RecordingController& recording_;
    QTimer timer_;
};

}  // namespace zavreo
