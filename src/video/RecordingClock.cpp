#include "RecordingClock.h"

#include "RecordingController.h"
#include "SkinFont.h"

namespace zavreo {

namespace {
// Often enough that each second shows within a quarter of a second of its start.
constexpr int kTickMs = 250;
constexpr int kHeight = 14;
// The recording red, readable on the button's grey.
const QColor kClockColour(255, 110, 110);
}  // namespace

QString ElapsedText(std::chrono::milliseconds elapsed) {
    const long long seconds = std::max<long long>(0, elapsed.count() / 1000);
    const long long hours = seconds / 3600;
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesAndSeconds
                     : minutesAndSeconds;
}

RecordingClock::RecordingClock(QWidget* button, const RecordingController& recording)
    : QLabel(button), recording_(recording) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignCenter);
    setFont(SkinFont::Make(11, 600));
    // A label on a button would take the button's text role.
    setForegroundRole(QPalette::WindowText);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, kClockColour);
    setPalette(colours);
    hide();
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &RecordingClock::Tick);
    connect(&recording, &RecordingController::ActiveChanged, this, &RecordingClock::Follow);
}

void RecordingClock::Follow(bool active) {
    if (active) {
        const QWidget* button = parentWidget();
        setGeometry(0, button->height() - kHeight - 1, button->width(), kHeight);
        Tick();
        show();
        timer_.start();
    } else {
        timer_.stop();
        hide();
    }
}

void RecordingClock::Tick() {
    setText(ElapsedText(recording_.Elapsed()));
}

}  // namespace zavreo
