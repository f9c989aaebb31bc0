// SPDX-License-Identifier: MIT
// The desktop's screen-reader switch is the accessibility bus's property
// org.a11y.Status.ScreenReaderEnabled (the bus launcher follows the setting
// org.gnome.desktop.a11y.applications screen-reader-enabled). That the bus
// is merely on (IsEnabled) says only that some tool reads the screen.
#include "screenreader.h"

#include <functional>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace
{

const QString kService = QStringLiteral("org.a11y.Bus");
const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kStatus = QStringLiteral("org.a11y.Status");
const QString kProperty = QStringLiteral("ScreenReaderEnabled");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

class StatusListener : public QObject
{
    Q_OBJECT
public:
    StatusListener(std::function<void(bool)> take, QObject *parent)
        : QObject(parent)
        , m_take(std::move(take))
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
            SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        ask();
    }

private Q_SLOTS:
    void propertiesChanged(
        const QString &interface, const QVariantMap &changed, const QStringList &invalidated)
    {
        if (interface != kStatus)
            return;
        if (changed.contains(kProperty))
            m_take(changed.value(kProperty).toBool());
        else if (invalidated.contains(kProperty))
            ask();
    }

private:
    // Asked without waiting, and without starting the bus where none runs.
    void ask()
    {
        QDBusMessage get
            = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
        get << kStatus << kProperty;
        get.setAutoStartService(false);
        auto *watcher
            = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) {
                const QDBusPendingReply<QDBusVariant> reply = *call;
                if (reply.isValid())
                    m_take(reply.value().variant().toBool());
                call->deleteLater();
            });
    }

    std::function<void(bool)> m_take;
};

struct ScreenReader::Watch {
    StatusListener *listener;
};

ScreenReader::ScreenReader(QObject *parent)
    : QObject(parent)
    , m_watch(new Watch { new StatusListener([this](bool running) { take(running); }, this) })
{
}

ScreenReader::~ScreenReader()
{
    delete m_watch;
}

#include "screenreader_unix.moc"
