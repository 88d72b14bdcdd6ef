#include "lookup/widgets/passwordstore.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#ifdef TRACKFEN_HAVE_KEYCHAIN
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <qt6keychain/keychain.h>
#endif

namespace tf {

namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
// Nothing sensible is longer; a bigger file is not ours.
constexpr qint64 kMaxPasswordBytes = 4096;

#ifdef TRACKFEN_HAVE_KEYCHAIN
const QString kService = QStringLiteral("TrackFen");
const QString kKey = QStringLiteral("cddb-proxy-password");

// Runs a keychain job to its end in a nested loop woken by the job itself.
bool runJob(QKeychain::Job& job, QString* error) {
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    if (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound)
        return true;
    if (error)
        *error = QStringLiteral("The desktop secret store failed: %1").arg(job.errorString());
    return false;
}
#endif

} // namespace

PasswordStore::Kind PasswordStore::detect() {
#ifdef TRACKFEN_HAVE_KEYCHAIN
    // Only asks whether the service is there; nothing is started on the bus.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()) {
        for (const char* name :
             {"org.freedesktop.secrets", "org.kde.kwalletd5", "org.kde.kwalletd6"})
            if (bus.interface()->isServiceRegistered(QLatin1String(name)).value())
                return Kind::SecretService;
    }
#endif
    return Kind::PrivateFile;
}

PasswordStore::PasswordStore(Kind kind) : m_kind(kind), m_file(defaultFilePath()) {
#ifndef TRACKFEN_HAVE_KEYCHAIN
    m_kind = Kind::PrivateFile;
#endif
}

PasswordStore PasswordStore::privateFile(const QString& filePath) {
    PasswordStore store(Kind::PrivateFile);
    store.m_file = filePath;
    return store;
}

QString PasswordStore::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/MYAPP/cddb-proxy.secret");
}

QString PasswordStore::description() const {
    if (m_kind == Kind::SecretService)
        return QStringLiteral("The proxy password is kept in the desktop's secret store.");
    return QStringLiteral("No secret store is running: the proxy password is kept in %1, "
                          "readable only by you.")
        .arg(QDir::toNativeSeparators(m_file));
}

bool PasswordStore::read(QString* password, QString* error) const {
    password->clear();
#ifdef TRACKFEN_HAVE_KEYCHAIN
    if (m_kind == Kind::SecretService) {
        QKeychain::ReadPasswordJob job(kService);
        job.setKey(kKey);
        if (!runJob(job, error))
            return false;
        *password = job.textData();
        return true;
    }
#endif
    return readFile(password, error);
}

bool PasswordStore::write(const QString& password, QString* error) const {
#ifdef TRACKFEN_HAVE_KEYCHAIN
    if (m_kind == Kind::SecretService) {
        if (password.isEmpty()) {
            QKeychain::DeletePasswordJob job(kService);
            job.setKey(kKey);
            return runJob(job, error);
        }
        QKeychain::WritePasswordJob job(kService);
        job.setKey(kKey);
        job.setTextData(password);
        return runJob(job, error);
    }
#endif
    return writeFile(password, error);
}

bool PasswordStore::readFile(QString* password, QString* error) const {
    QFile file(m_file);
    if (!file.exists())
        return true;
    // Someone widened the permissions: close them again before anything is read.
    if ((file.permissions() & ~(kOwnerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser)) != 0)
        file.setPermissions(kOwnerOnly);
    if (file.size() > kMaxPasswordBytes || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The proxy password file %1 cannot be read.").arg(m_file);
        return false;
    }
    *password = QString::fromUtf8(file.read(kMaxPasswordBytes));
    return true;
}

bool PasswordStore::writeFile(const QString& password, QString* error) const {
    if (password.isEmpty()) {
        if (!QFile::exists(m_file) || QFile::remove(m_file))
            return true;
        if (error)
            *error = QStringLiteral("The proxy password file %1 cannot be removed.").arg(m_file);
        return false;
    }
    const QString scratch = m_file + QStringLiteral(".tmp");
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QFile::remove(scratch);
    QFile file(scratch);
    // Created with owner-only permissions, so the password is never readable by others,
    // not even for a moment; then renamed over the old file in one step.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly) &&
              file.write(password.toUtf8()) == password.toUtf8().size() && file.flush();
    file.close();
    // rename() replaces the old file in one step: a crash leaves the old or the new one.
    ok = ok && std::rename(QFile::encodeName(scratch).constData(),
                           QFile::encodeName(m_file).constData()) == 0;
    if (!ok) {
        QFile::remove(scratch);
        if (error)
            *error = QStringLiteral("The proxy password cannot be stored in %1.").arg(m_file);
    }
    return ok;
}

} // namespace tf
