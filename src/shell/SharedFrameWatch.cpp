#include "SharedFrameWatch.h"

#include "TipTexts.h"

namespace {

QString InShm(const std::string& name) {
    return QStringLiteral("/dev/shm") + QString::fromStdString(name);
}

}  // namespace

SharedFrameWatch::SharedFrameWatch(zavreo::SharedFrame& frame, QObject* parent)
    : QObject(parent), frame_(frame) {
    connect(&timer_, &QTimer::timeout, this, &SharedFrameWatch::Check);
}

void SharedFrameWatch::Start(int periodMs) {
    if (!frame_.IsOpen()) {
        emit Tip(QString::fromUtf8(TipText::kSharedFrameUnavailable));
        return;
    }
    if (frame_.Displaced()) {
        emit Tip(QString::fromUtf8(TipText::kSharedFrameOwnBlock)
                     .arg(InShm(frame_.WantedName()), InShm(frame_.Name())));
    }
    timer_.start(periodMs);
}

void SharedFrameWatch::Check() {
    if (frame_.CheckName() != zavreo::FrameNameState::kTaken) {
        toldTaken_ = false;
        return;
    }
    if (!toldTaken_) {
        toldTaken_ = true;
        emit Tip(QString::fromUtf8(TipText::kSharedFrameTaken).arg(InShm(frame_.Name())));
    }
}
