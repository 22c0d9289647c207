#pragma once
// The pad's nine keys through the desktop portal's global shortcuts
// (org.freedesktop.portal.GlobalShortcuts), the way a Wayland desktop lets a program have keys
// while another program has the focus: a session is created, the nine shortcuts are bound (the
// desktop may ask the user, who chooses the keys in the end), and each activation arrives as a
// signal. Closing the session gives the keys back. Interface thread; the D-Bus calls are
// asynchronous, so nothing here waits on the desktop.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

class PortalShortcuts : public QObject {
    Q_OBJECT
public:
    // `bus`: the session bus, where desktops run their portal.
    explicit PortalShortcuts(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);
    ~PortalShortcuts() override;

    // Whether the session bus has a portal offering global shortcuts (asks it once, briefly).
    bool Offered();

    // Binds the nine shortcuts; Bound or Refused follows.
    void Start();
    // Closes the session (one still being made as soon as it comes); no activation arrives
    // afterwards.
    void Stop();

signals:
    // The nine shortcuts are bound.
    void Bound();
    // The desktop or the user declined, or the portal failed.
    void Refused();
    void Activated(int number);

private slots:
    void OnSessionCreated(uint response, const QVariantMap& results);
    void OnBound(uint response, const QVariantMap& results);
    void OnActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                     const QVariantMap& options);

private:
    // Calls `method` with `arguments` and `options`, to which it adds the handle token; the
    // Request's Response goes to `slot`. The token makes the request's path known before the
    // call, so the answer cannot come before the subscription. One request at a time.
    void Call(const QString& method, QList<QVariant> arguments, QVariantMap options,
              const char* slot);
    // The Response of the request in flight came: no more from it.
    void EndRequest();
    QString Token();
    void CloseSession();

    QDBusConnection bus_;
    bool wanted_ = false;
    QString session_;
    QString requestPath_;
    const char* requestSlot_ = nullptr;
    int tokens_ = 0;
    bool offeredChecked_ = false;
    bool offered_ = false;
};
