#include "PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>

#include "SoundEffectPlayer.h"

namespace {

constexpr char kService[] = "org.freedesktop.portal.Desktop";
constexpr char kPath[] = "/org/freedesktop/portal/desktop";
constexpr char kInterface[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";
constexpr char kShortcutPrefix[] = "effect-";
// The portal's calls answer at once; the user's choice comes later through the Request.
constexpr int kCallTimeoutMs = 5000;

// One shortcut as the portal takes it: (sa{sv}).
struct Shortcut {
    QString id;
    QVariantMap properties;
};

}  // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace

PortalShortcuts::PortalShortcuts(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
}

PortalShortcuts::~PortalShortcuts() {
    Stop();
}

bool PortalShortcuts::Offered() {
    if (offeredChecked_) {
        return offered_;
    }
    offeredChecked_ = true;
    if (!bus_.isConnected()) {
        return false;
    }
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, "org.freedesktop.DBus.Properties", "Get");
    get << QString::fromLatin1(kInterface) << QStringLiteral("version");
    // The portal starts on demand; a desktop without it answers with an error at once.
    const QDBusMessage reply = bus_.call(get, QDBus::Block, kCallTimeoutMs);
    offered_ = reply.type() == QDBusMessage::ReplyMessage;
    return offered_;
}

QString PortalShortcuts::Token() {
    return QStringLiteral("zavreo%1").arg(++tokens_);
}

void PortalShortcuts::Call(const QString& method, QList<QVariant> arguments, QVariantMap options,
                           const char* slot) {
    EndRequest();
    const QString token = Token();
    // The portal names a request after the caller's unique bus name, ":1.42" -> "1_42".
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    requestPath_ =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    requestSlot_ = slot;
    bus_.connect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this, slot);
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError() && wanted_) {
            EndRequest();
            wanted_ = false;
            emit Refused();
        }
    });
}

void PortalShortcuts::EndRequest() {
    if (requestSlot_ != nullptr) {
        bus_.disconnect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this,
                        requestSlot_);
    }
    requestPath_.clear();
    requestSlot_ = nullptr;
}

void PortalShortcuts::Start() {
    wanted_ = true;
    // A request in flight goes on, now wanted again; a bound session stays.
    if (requestSlot_ != nullptr) {
        return;
    }
    if (!session_.isEmpty()) {
        emit Bound();
        return;
    }
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), Token());
    Call(QStringLiteral("CreateSession"), {}, options, SLOT(OnSessionCreated(uint, QVariantMap)));
}

void PortalShortcuts::OnSessionCreated(uint response, const QVariantMap& results) {
    EndRequest();
    session_ = results.value(QStringLiteral("session_handle")).toString();
    if (!wanted_) {
        // Stopped while the session was being made.
        CloseSession();
        return;
    }
    if (response != 0 || session_.isEmpty()) {
        session_.clear();
        wanted_ = false;
        emit Refused();
        return;
    }
    bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                 SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QList<Shortcut> shortcuts;
    for (int number = 1; number <= zavreo::kSoundEffectCount; ++number) {
        Shortcut shortcut;
        shortcut.id = kShortcutPrefix + QString::number(number);
        shortcut.properties.insert(QStringLiteral("description"),
                                   QStringLiteral("音效 %1").arg(number));
        shortcut.properties.insert(QStringLiteral("preferred_trigger"), QString::number(number));
        shortcuts.append(shortcut);
    }
    Call(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()},
        {}, SLOT(OnBound(uint, QVariantMap)));
}

void PortalShortcuts::OnBound(uint response, const QVariantMap&) {
    EndRequest();
    if (!wanted_) {
        return;
    }
    if (response != 0) {
        CloseSession();
        wanted_ = false;
        emit Refused();
        return;
    }
    emit Bound();
}

void PortalShortcuts::OnActivated(const QDBusObjectPath& session, const QString& shortcut,
                                  qulonglong, const QVariantMap&) {
    if (session.path() != session_ || !shortcut.startsWith(kShortcutPrefix)) {
        return;
    }
    bool ok = false;
    const int number = shortcut.mid(int(sizeof(kShortcutPrefix)) - 1).toInt(&ok);
    if (ok && number >= 1 && number <= zavreo::kSoundEffectCount) {
        emit Activated(number);
    }
}

void PortalShortcuts::Stop() {
    // A session still being made is closed when it arrives.
    wanted_ = false;
    CloseSession();
}

void PortalShortcuts::CloseSession() {
    if (session_.isEmpty()) {
        return;
    }
    bus_.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                    SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    bus_.asyncCall(QDBusMessage::createMethodCall(kService, session_, kSessionInterface,
                                                  QStringLiteral("Close")));
    session_.clear();
}
