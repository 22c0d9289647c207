#include "RememberedStateKeeper.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "MusicController.h"
#include "WindowPlacement.h"

namespace zavreo {

namespace {

QString SizeText(const FrameSize& size) {
    return QStringLiteral("%1 x %2").arg(size.width).arg(size.height);
}

std::optional<FrameSize> ParseSize(const QString& text) {
    int width = 0;
    int height = 0;
    if (std::sscanf(text.toStdString().c_str(), "%d x %d", &width, &height) != 2 || width < 1 ||
        height < 1 || width > RememberedState::kMaxFrameSide ||
        height > RememberedState::kMaxFrameSide) {
        return std::nullopt;
    }
    return FrameSize{width, height};
}

}  // namespace

RememberedStateKeeper::RememberedStateKeeper(RememberedStateFile file, MusicController& music,
                                             QComboBox& cameraSizes, QWidget& window)
    : file_(std::move(file)), music_(music), cameraSizes_(cameraSizes), window_(window) {}

bool RememberedStateKeeper::PlatformPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

void RememberedStateKeeper::Restore() {
    const RememberedState state = file_.Load();
    music_.RestoreSound(state.volume, state.muted);
    music_.SetPlayMode(state.playMode);
    loadedCameraSize_ = state.cameraSize;
    if (state.cameraSize) {
        // Choosing the item tells the camera, as the user's choice would.
        const int index = cameraSizes_.findText(SizeText(*state.cameraSize));
        if (index >= 0) {
            cameraSizes_.setCurrentIndex(index);
        }
    }
    loadedPlace_ = state.windowPlace;
    if (state.windowPlace && !PlatformPlacesWindows()) {
        std::vector<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens()) {
            screens.push_back(screen->availableGeometry());
        }
        if (const std::optional<QPoint> place = RestoredWindowPlace(
                QPoint(state.windowPlace->x, state.windowPlace->y), window_.size(), screens)) {
            window_.move(*place);
        }
    }
}

RememberedState RememberedStateKeeper::Collect() const {
    RememberedState state;
    state.volume = std::clamp(music_.Volume(), 0, RememberedState::kMaxVolume);
    state.muted = music_.Muted();
    state.playMode = music_.Mode();
    state.cameraSize =
        cameraSizes_.count() > 0 ? ParseSize(cameraSizes_.currentText()) : loadedCameraSize_;
    if (PlatformPlacesWindows()) {
        state.windowPlace = loadedPlace_;
    } else {
        constexpr int kLimit = RememberedState::kMaxCoordinate;
        const QPoint place = window_.pos();
        state.windowPlace = ScreenPoint{std::clamp(place.x(), -kLimit, kLimit),
                                        std::clamp(place.y(), -kLimit, kLimit)};
    }
    return state;
}

bool RememberedStateKeeper::Save() const {
    return file_.Save(Collect());
}

}  // namespace zavreo
