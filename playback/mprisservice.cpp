#include "playback/mprisservice.h"

#include "playback/mediaplayer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

namespace tf {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kBaseName = QStringLiteral("org.mpris.MediaPlayer2.trackfen");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A command runs from the event loop as a click does, after the call's reply has gone: the
// caller never waits on a key-code transaction or on the closing question.
template <typename F> void later(MediaPlayer& player, F command) {
    QTimer::singleShot(0, &player, [&player, command] { command(player); });
}

} // namespace

MprisService::MprisService(MediaPlayer& player, QObject* parent)
    : QObject(parent), m_player(player) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    connect(&m_player, &MediaPlayer::changed, this, &MprisService::propertiesChanged);
}

MprisService::~MprisService() {
    withdraw();
}

bool MprisService::publish() {
    if (isPublished())
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    const QString instance = kBaseName + QStringLiteral(".instance") +
                             QString::number(QCoreApplication::applicationPid());
    for (const QString& name : {kBaseName, instance}) {
        if (bus.registerService(name)) {
            m_busName = name;
            return true;
        }
    }
    bus.unregisterObject(kObjectPath);
    return false;
}

void MprisService::withdraw() {
    if (!isPublished())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_busName);
    bus.unregisterObject(kObjectPath);
    m_busName.clear();
}

void MprisService::propertiesChanged(const QVariantMap& properties) {
    if (!isPublished())
        return;
    QVariantMap values = properties;
    if (values.contains(QStringLiteral("Metadata")))
        values.insert(QStringLiteral("Metadata"),
                      MprisPlayerAdaptor::onTheBus(m_player.metadata()));
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << values << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_player(service->player()) {}

void MprisRootAdaptor::Raise() {
    later(m_player, [](MediaPlayer& p) { p.raise(); });
}

void MprisRootAdaptor::Quit() {
    later(m_player, [](MediaPlayer& p) { p.quit(); });
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_player(service->player()) {}

QVariantMap MprisPlayerAdaptor::onTheBus(QVariantMap metadata) {
    const QString id = QStringLiteral("mpris:trackid");
    metadata.insert(id, QVariant::fromValue(QDBusObjectPath(metadata.value(id).toString())));
    return metadata;
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return m_player.playbackStatus();
}

QString MprisPlayerAdaptor::loopStatus() const {
    return m_player.loopStatus();
}

void MprisPlayerAdaptor::setLoopStatus(const QString& status) {
    later(m_player, [status](MediaPlayer& p) { p.setLoopStatus(status); });
}

bool MprisPlayerAdaptor::shuffle() const {
    return m_player.shuffle();
}

void MprisPlayerAdaptor::setShuffle(bool on) {
    later(m_player, [on](MediaPlayer& p) { p.setShuffle(on); });
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return onTheBus(m_player.metadata());
}

bool MprisPlayerAdaptor::controllable() const {
    return m_player.controllable();
}

void MprisPlayerAdaptor::PlayPause() {
    later(m_player, [](MediaPlayer& p) { p.playPause(); });
}

void MprisPlayerAdaptor::Play() {
    later(m_player, [](MediaPlayer& p) { p.play(); });
}

void MprisPlayerAdaptor::Pause() {
    later(m_player, [](MediaPlayer& p) { p.pause(); });
}

void MprisPlayerAdaptor::Stop() {
    later(m_player, [](MediaPlayer& p) { p.stop(); });
}

void MprisPlayerAdaptor::Next() {
    later(m_player, [](MediaPlayer& p) { p.next(); });
}

void MprisPlayerAdaptor::Previous() {
    later(m_player, [](MediaPlayer& p) { p.previous(); });
}

} // namespace tf
