#include "GlobalEffectKeys.h"

#include <QGuiApplication>

#include "TipTexts.h"

GlobalEffectKeys::GlobalEffectKeys(QObject* parent)
    : QObject(parent), waylandSession_(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    connect(&portal_, &PortalShortcuts::Activated, this, [this](int number) {
        if (active_) {
            emit EffectKey(number);
        }
    });
    connect(&portal_, &PortalShortcuts::Refused, this, [this] {
        if (!active_) {
            return;
        }
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            TakeX11Keys();
        } else {
            emit Trouble(QString::fromUtf8(TipText::kEffectKeysUnavailable));
        }
    });
}

GlobalEffectKeys::~GlobalEffectKeys() {
    GiveBack();
}

void GlobalEffectKeys::SetActive(bool active) {
    if (active == active_) {
        return;
    }
    active_ = active;
    if (!active) {
        GiveBack();
        return;
    }
    const bool onX = QGuiApplication::platformName() == QLatin1String("xcb");
    if (waylandSession_ && portal_.Offered()) {
        portal_.Start();
    } else if (onX) {
        TakeX11Keys();
    } else {
        emit Trouble(QString::fromUtf8(TipText::kEffectKeysUnavailable));
    }
}

void GlobalEffectKeys::TakeX11Keys() {
    if (x11_ == nullptr) {
        x11_ = std::make_unique<zavreo::X11KeyGrab>();
        if (!x11_->Connected()) {
            x11_.reset();
            emit Trouble(QString::fromUtf8(TipText::kEffectKeysUnavailable));
            return;
        }
        x11Events_ =
            std::make_unique<QSocketNotifier>(x11_->FileDescriptor(), QSocketNotifier::Read);
        connect(x11Events_.get(), &QSocketNotifier::activated, this, [this] {
            for (const int number : x11_->TakePresses()) {
                emit EffectKey(number);
            }
        });
    }
    const std::vector<int> held = x11_->Grab();
    // Presses the grab's replies brought along wait in the connection, not in the socket.
    for (const int number : x11_->TakePresses()) {
        emit EffectKey(number);
    }
    if (!held.empty()) {
        QString text = QString::fromUtf8(TipText::kEffectKeysHeld);
        for (std::size_t i = 0; i < held.size(); ++i) {
            text += (i == 0 ? QString() : QStringLiteral("、")) + QString::number(held[i]);
        }
        emit Trouble(text);
    } else if (waylandSession_) {
        emit Trouble(QString::fromUtf8(TipText::kEffectKeysXWayland));
    }
}

void GlobalEffectKeys::GiveBack() {
    portal_.Stop();
    if (x11_ != nullptr) {
        x11_->Release();
        // Whatever came in before the keys went back is not played any more.
        x11_->TakePresses();
    }
}
