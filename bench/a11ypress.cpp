// A screen reader presses "Read Setup" while kelvarin-sim floods the line: how
// long the real program takes to answer. The program runs as a process of its
// own on the xcb platform with accessibility on; this process plays the screen
// reader on the accessibility (AT-SPI) bus. Like Orca, it asks the registry for
// every object, window and focus event and takes each one the bus hands it, and
// every 250 ms it presses the button through the button's Action interface and
// times the call until its reply; the next press waits for that reply. Needs a
// display and a session bus that can start the accessibility bus:
// scripts/bench.sh runs it under xvfb-run and dbus-run-session.
#include "BenchCommon.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <optional>
#include <sys/wait.h>

namespace {

constexpr int pressEveryMs = 250;
constexpr int pressTimeoutMs = 60000;
constexpr int findTimeoutMs = 20000;
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

struct AccessibleRef {
    QString service;
    QString path;
};

QDBusMessage Call(QDBusConnection& bus, const AccessibleRef& object, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 5000);
}

QList<AccessibleRef> Children(QDBusConnection& bus, const AccessibleRef& object) {
    const QDBusMessage reply = Call(bus, object, accessibleInterface, "GetChildren");
    QList<AccessibleRef> children;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return children;
    const QDBusArgument array = reply.arguments().at(0).value<QDBusArgument>();
    array.beginArray();
    while (!array.atEnd()) {
        QString service;
        QDBusObjectPath path;
        array.beginStructure();
        array >> service >> path;
        array.endStructure();
        children.append({service, path.path()});
    }
    array.endArray();
    return children;
}

QString Name(QDBusConnection& bus, const AccessibleRef& object) {
    const QDBusMessage reply = Call(bus, object, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    "Get", {accessibleInterface, QStringLiteral("Name")});
    return reply.arguments().isEmpty()
               ? QString()
               : reply.arguments().at(0).value<QDBusVariant>().variant().toString();
}

// The first object named `name` under `root`, breadth first.
std::optional<AccessibleRef> Find(QDBusConnection& bus, const AccessibleRef& root,
                                  const QString& name) {
    QList<AccessibleRef> queue{root};
    while (!queue.isEmpty()) {
        const AccessibleRef object = queue.takeFirst();
        if (Name(bus, object) == name)
            return object;
        queue += Children(bus, object);
    }
    return std::nullopt;
}

// The program's "Read Setup" button, once the program has joined the bus.
std::optional<AccessibleRef> FindButton(QDBusConnection& bus) {
    const AccessibleRef desktop{QStringLiteral("org.a11y.atspi.Registry"),
                                QStringLiteral("/org/a11y/atspi/accessible/root")};
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < findTimeoutMs) {
        for (const AccessibleRef& application : Children(bus, desktop))
            if (Name(bus, application) == QLatin1String("Kelvarin"))
                if (auto button = Find(bus, application, QStringLiteral("Read Setup")))
                    return button;
        QThread::msleep(200);
    }
    return std::nullopt;
}

class CScreenReader : public QObject {
    Q_OBJECT
public:
    CScreenReader(QDBusConnection bus, AccessibleRef button, int seconds)
        : bus(std::move(bus)), button(std::move(button)), seconds(seconds) {}

    ~CScreenReader() override {
        for (const char* kind : eventKinds)
            Call(bus, registry, QStringLiteral("org.a11y.atspi.Registry"),
                 QStringLiteral("DeregisterEvent"), {QString::fromLatin1(kind)});
    }

    // As a screen reader does: the registry tells the program which events are
    // wanted, and the bus hands this process every one of them.
    bool Listen() {
        for (const char* kind : eventKinds)
            if (Call(bus, registry, QStringLiteral("org.a11y.atspi.Registry"),
                     QStringLiteral("RegisterEvent"),
                     {QString::fromLatin1(kind), QStringList(), QString()})
                    .type() != QDBusMessage::ReplyMessage)
                return false;
        for (const char* interface : {"org.a11y.atspi.Event.Object", "org.a11y.atspi.Event.Window",
                                      "org.a11y.atspi.Event.Focus"})
            for (const char* member : {"PropertyChange", "ChildrenChanged", "StateChanged",
                                       "BoundsChanged", "VisibleDataChanged", "Focus", "Activate",
                                       "Deactivate", "TextChanged", "SelectionChanged"})
                bus.connect(QString(), QString(), QString::fromLatin1(interface),
                            QString::fromLatin1(member), this, SLOT(OnEvent()));
        return true;
    }

    void Run() {
        clock.start();
        auto* pacer = new QTimer(this);
        connect(pacer, &QTimer::timeout, this, &CScreenReader::Press);
        pacer->start(pressEveryMs);
        QTimer::singleShot(seconds * 1000, this, [this, pacer] {
            pacer->stop();
            if (!pressing)
                QCoreApplication::quit();
            ending = true;
        });
        QCoreApplication::exec();
    }

    std::vector<double> answers; // ms from a press to its reply
    int unanswered = 0;
    long long events = 0;

private slots:
    void OnEvent() { ++events; }

private:
    void Press() {
        if (pressing)
            return; // a reader waits for its press to be answered
        pressing = true;
        QDBusMessage press = QDBusMessage::createMethodCall(button.service, button.path,
                                                            QStringLiteral("org.a11y.atspi.Action"),
                                                            QStringLiteral("DoAction"));
        press.setArguments({0});
        const qint64 sent = clock.nsecsElapsed();
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(press, pressTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, sent] {
            if (watcher->isError())
                ++unanswered;
            else
                answers.push_back(double(clock.nsecsElapsed() - sent) / 1e6);
            watcher->deleteLater();
            pressing = false;
            if (ending)
                QCoreApplication::quit();
        });
    }

    static constexpr const char* eventKinds[] = {"object:", "window:", "focus:"};
    const AccessibleRef registry{QStringLiteral("org.a11y.atspi.Registry"),
                                 QStringLiteral("/org/a11y/atspi/registry")};
    QDBusConnection bus;
    AccessibleRef button;
    int seconds;
    QElapsedTimer clock;
    bool pressing = false;
    bool ending = false;
};

int Run(const char* kind, int seconds, QDBusConnection& bus) {
    pid_t sim = -1;
    const std::string device = StartSim(KELVARIN_SIM_PATH, kind, sim);
    if (device.empty()) {
        std::fprintf(stderr, "kelvarin-sim did not start\n");
        return 1;
    }
    QTemporaryDir profile;
    const pid_t program = Spawn({KELVARIN_PATH, "--port", "COM1=" + device},
                                {"XDG_CONFIG_HOME=" + profile.path().toStdString(),
                                 "QT_QPA_PLATFORM=xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"});
    int failed = 0;
    // Found before the reader listens: a program that buries the bus answers
    // nothing once it does.
    if (const std::optional<AccessibleRef> button = FindButton(bus)) {
        CScreenReader reader(bus, *button, seconds);
        if (reader.Listen()) {
            reader.Run();
            std::printf("press \"Read Setup\" through the accessibility bus, flood of %s for "
                        "%d s (kelvarin on Xvfb, this process the screen reader)\n",
                        kind, seconds);
            std::printf("  %zu presses answered, %d not within %d s; press -> reply: median "
                        "%.1f ms, p99 %.1f ms, max %.1f ms (target < 1000 ms: %s)\n",
                        reader.answers.size(), reader.unanswered, pressTimeoutMs / 1000,
                        Percentile(reader.answers, 0.5), Percentile(reader.answers, 0.99),
                        Percentile(reader.answers, 1.0),
                        reader.unanswered == 0 && !reader.answers.empty() &&
                                Percentile(reader.answers, 1.0) < 1000
                            ? "met"
                            : "MISSED");
            std::printf("  events the bus handed the reader: %lld, %.0f a second\n", reader.events,
                        double(reader.events) / seconds);
        } else {
            std::fprintf(stderr, "the registry took no event listener\n");
            failed = 1;
        }
    } else {
        std::fprintf(stderr, "no \"Read Setup\" button on the accessibility bus\n");
        failed = 1;
    }
    ::kill(program, SIGTERM);
    ::waitpid(program, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    return failed;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const QDBusMessage address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
    if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty()) {
        std::fprintf(stderr, "no accessibility bus: run under xvfb-run and dbus-run-session\n");
        return 1;
    }
    QDBusConnection bus =
        QDBusConnection::connectToBus(address.arguments().at(0).toString(), QStringLiteral("a11y"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "cannot connect to the accessibility bus\n");
        return 1;
    }
    int failed = 0;
    for (const char* kind : {"noise", "mixed"})
        failed |= Run(kind, seconds, bus);
    return failed;
}

#include "a11ypress.moc"
