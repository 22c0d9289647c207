#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <mutex>
#include <vector>

#include "PortalShortcuts.h"

namespace {

constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kShortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";

template <typename Predicate>
bool SpinUntil(Predicate done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// A D-Bus session bus of the test's own, which starts no services: the machine's own portal
// must not answer in place of the stand-in.
class PrivateBus {
public:
    PrivateBus() {
        QFile config(folder_.path() + "/bus.conf");
        config.open(QIODevice::WriteOnly);
        config.write(
            QStringLiteral(R"(<busconfig><type>session</type><listen>unix:path=%1/bus</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>)")
                .arg(folder_.path())
                .toUtf8());
        config.close();
        daemon_.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork",
                                      "--nopidfile", "--print-address=1"});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000)) {
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        }
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    // A connection of its own under `name`.
    QDBusConnection Connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
};

// The desktop's side of the global shortcuts portal, as its documentation describes it: requests
// answer through a Request object's Response signal, the session is closed through its Session
// object, a pressed shortcut is signalled as Activated. Answers on a thread of its own, as a
// desktop does from its own process while the program waits for a reply; what it saw is read
// under its lock.
class PortalStandIn : public QDBusVirtualObject {
public:
    explicit PortalStandIn(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerService("org.freedesktop.portal.Desktop");
        bus_.registerVirtualObject(kPortalPath, this, QDBusConnection::SubPath);
        moveToThread(&thread_);
        thread_.start();
    }
    ~PortalStandIn() override {
        thread_.quit();
        thread_.wait();
    }
    template <typename Read>
    auto Seen(Read read) {
        const std::lock_guard lock(mutex_);
        return read();
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const std::lock_guard lock(mutex_);
        const QString member = message.member();
        if (message.interface() == "org.freedesktop.DBus.Properties" && member == "Get") {
            connection.send(
                message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(1u)))));
            return true;
        }
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString base = QString(kPortalPath);
        if (member == "CreateSession") {
            const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().at(0));
            session = base + "/session/" + sender + "/" +
                      options.value("session_handle_token").toString();
            Answer(message, options, {{"session_handle", session}}, 0);
            return true;
        }
        if (member == "BindShortcuts") {
            const QDBusArgument list = message.arguments().at(1).value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap properties;
                list.beginStructure();
                list >> id >> properties;
                list.endStructure();
                bound.append(id + "|" + properties.value("description").toString() + "|" +
                             properties.value("preferred_trigger").toString());
            }
            list.endArray();
            Answer(message, qdbus_cast<QVariantMap>(message.arguments().at(3)), {},
                   declineBinding ? 1 : 0);
            return true;
        }
        if (member == "Close" && message.path() == session) {
            closed.append(session);
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

    void Activate(const QString& sessionPath, const QString& shortcut) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPortalPath, kShortcutsInterface, "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << shortcut << qulonglong(0)
               << QVariantMap();
        bus_.send(signal);
    }

    QString session;
    QStringList bound;
    QStringList closed;
    bool declineBinding = false;

private:
    // Replies with the request's path, then answers on it.
    void Answer(const QDBusMessage& call, const QVariantMap& options, const QVariantMap& results,
                uint response) {
        QString sender = call.service().mid(1);
        sender.replace('.', '_');
        const QString request = QString(kPortalPath) + "/request/" + sender + "/" +
                                options.value("handle_token").toString();
        bus_.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage signal =
            QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        signal << response << results;
        bus_.send(signal);
    }

    QDBusConnection bus_;
    QThread thread_;
    std::mutex mutex_;
};

}  // namespace

TEST(PortalShortcuts, BindsTheNineKeysAndPassesTheirActivations) {
    PrivateBus bus;
    {
        PortalShortcuts none(bus.Connect("no-portal"));
        EXPECT_FALSE(none.Offered());
    }
    PortalStandIn portal(bus.Connect("portal"));
    PortalShortcuts shortcuts(bus.Connect("program"));
    ASSERT_TRUE(shortcuts.Offered());
    int bound = 0;
    int refused = 0;
    std::vector<int> activated;
    QObject::connect(&shortcuts, &PortalShortcuts::Bound, [&] { ++bound; });
    QObject::connect(&shortcuts, &PortalShortcuts::Refused, [&] { ++refused; });
    QObject::connect(&shortcuts, &PortalShortcuts::Activated,
                     [&](int number) { activated.push_back(number); });

    shortcuts.Start();
    ASSERT_TRUE(SpinUntil([&] { return bound == 1; }));
    const QStringList seen = portal.Seen([&] { return portal.bound; });
    ASSERT_EQ(seen.size(), 9);
    EXPECT_EQ(seen.front(), "effect-1|音效 1|1");
    EXPECT_EQ(seen.back(), "effect-9|音效 9|9");

    const QString session = portal.Seen([&] { return portal.session; });
    portal.Activate(session, "effect-4");
    // Not ours: another session's, or a shortcut this program did not bind.
    portal.Activate(session + "x", "effect-5");
    portal.Activate(session, "effect-10");
    portal.Activate(session, "effect-7");
    ASSERT_TRUE(SpinUntil([&] { return activated.size() == 2; }));
    SpinUntil([] { return false; }, 200);
    EXPECT_EQ(activated, (std::vector<int>{4, 7}));

    // Stopped, the session is closed and its keys no longer come.
    shortcuts.Stop();
    ASSERT_TRUE(SpinUntil(
        [&] { return portal.Seen([&] { return portal.closed; }) == QStringList{session}; }));
    portal.Activate(session, "effect-2");
    SpinUntil([] { return false; }, 200);
    EXPECT_EQ(activated, (std::vector<int>{4, 7}));
    EXPECT_EQ(refused, 0);

    // The user declines at the desktop's question.
    portal.Seen([&] { return portal.declineBinding = true; });
    shortcuts.Start();
    ASSERT_TRUE(SpinUntil([&] { return refused == 1; }));
    EXPECT_EQ(bound, 1);
}
