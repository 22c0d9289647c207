#pragma once
// The pad's effect keys from any program, the way the desktop allows it: on an X display a key
// grab (X11KeyGrab); on a Wayland desktop the portal's global shortcuts (PortalShortcuts) where
// it offers them, else, running through XWayland, the key grab, which there sees only keys meant
// for X programs. Where neither works the user is told how to bind `zavreo --effect N` instead.
// Interface thread.

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "PortalShortcuts.h"
#include "X11KeyGrab.h"

class GlobalEffectKeys : public QObject {
    Q_OBJECT
public:
    explicit GlobalEffectKeys(QObject* parent = nullptr);
    ~GlobalEffectKeys() override;

    // Takes the keys or gives them back. Taking may finish later, when the desktop asked the user.
    void SetActive(bool active);
    bool Active() const { return active_; }

signals:
    void EffectKey(int number);
    // The keys could be had only in part, or not at all: what the tip tells the user (TipText).
    void Trouble(const QString& text);

private:
    void TakeX11Keys();
    void GiveBack();

    bool active_ = false;
    std::unique_ptr<zavreo::X11KeyGrab> x11_;
    std::unique_ptr<QSocketNotifier> x11Events_;
    PortalShortcuts portal_;
    bool waylandSession_ = false;
};
