#pragma once
// Whether a compositing manager draws the desktop: only then do per-pixel translucent windows
// show the desktop through them; without one the transparent parts show black. On X11 the
// compositor owns the selection _NET_WM_CM_S0 (ICCCM manager selections; one X screen per
// display, as every current X server runs); it is checked every second so that one starting or
// stopping while the program runs is followed. Other platforms (Wayland, offscreen) always
// compose. Interface thread only.

#include <QObject>
#include <QTimer>
#include <cstdint>

struct xcb_connection_t;

class CompositorWatch : public QObject {
    Q_OBJECT
public:
    explicit CompositorWatch(QObject* parent = nullptr);

    bool Composited() const { return composited_; }

signals:
    void Changed(bool composited);

private:
    bool Ask() const;

    xcb_connection_t* connection_ = nullptr;
    uint32_t selection_ = 0;  // the atom _NET_WM_CM_S0
    bool composited_ = true;
    QTimer poll_;
};
