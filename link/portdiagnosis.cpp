#include "link/portdiagnosis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tf {
namespace {

// Where QSerialPort and older serial programs put their LCK.. files.
const QStringList kLockDirs = {
    QStringLiteral("/var/lock"),       QStringLiteral("/run/lock"),
    QStringLiteral("/etc/locks"),      QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"),
    QStringLiteral("/var/tmp"),        QStringLiteral("/var/lock/lockdev"),
};

QString joined(const QStringList& devices) {
    return devices.join(QStringLiteral(", "));
}

#ifdef Q_OS_UNIX
bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString loginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

// The device's group, and whether joining it gives access.
void readGroup(const QString& path, PortFacts& facts) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return;
    const group* gr = ::getgrgid(st.st_gid);
    facts.deviceGroup = gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
    facts.groupMayUse = st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
}

// errno of opening the device as the link does; 0 when it opens (the failure was the lock).
int directOpenError(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

// The live process a lock file names, other than this one (0 when none). QLockFile and UUCP
// write the pid as text on the first line. QSerialPort names the file after the device as it
// was given, "/dev/" left out and '/' made '_' (LCK..ttyUSB0, LCK..serial_by-id_usb-...,
// LCK.._tmp_changer), so both the given and the resolved name are tried.
qint64 lockOwner(const QString& device, const QString& devRoot, const QStringList& lockDirs) {
    const QString canonicalRoot = QFileInfo(devRoot).canonicalFilePath();
    QStringList names;
    for (const QString& path : {device, QFileInfo(device).canonicalFilePath()}) {
        QString name = path;
        for (const QString& root : {devRoot, canonicalRoot})
            if (!root.isEmpty() && name.startsWith(root + QLatin1Char('/'))) {
                name = name.mid(root.size() + 1);
                break;
            }
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    for (const QString& dir : lockDirs.isEmpty() ? kLockDirs : lockDirs)
        for (const QString& name : names) {
            QFile lock(dir + QStringLiteral("/LCK..") + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool ok = false;
            const qint64 pid = lock.readLine(64).trimmed().toLongLong(&ok);
            // A lock left by a process that is gone holds nothing.
            if (ok && processAlive(pid) && pid != QCoreApplication::applicationPid())
                return pid;
        }
    return 0;
}
#endif

} // namespace

PortProblem classifyPortProblem(const PortFacts& facts) {
    if (facts.lockPid > 0)
        return PortProblem::InUse;
    switch (facts.sysError) {
    case EACCES:
    case EPERM:
        return PortProblem::PermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PortProblem::NoSuchDevice;
    case EBUSY:
        return PortProblem::InUse;
    case 0:
        break;
    default:
        return PortProblem::Other;
    }
    // No errno to go by: the device opened directly (or the check could not run).
    switch (facts.error) {
    case QSerialPort::DeviceNotFoundError:
        return PortProblem::NoSuchDevice;
    case QSerialPort::PermissionError:
        // Readable and writable but refused: Qt's lock or an exclusive open by another program.
        return PortProblem::InUse;
    default:
        return PortProblem::Other;
    }
}

QString portProblemText(PortProblem problem, const PortFacts& facts) {
    switch (problem) {
    case PortProblem::PermissionDenied: {
        const QString user = facts.user.isEmpty() ? QStringLiteral("$USER") : facts.user;
        const QString join = QStringLiteral("    sudo usermod -aG %1 %2\n"
                                            "and log in again: a new group counts from the next "
                                            "login.");
        if (facts.groupMayUse && !facts.deviceGroup.isEmpty())
            return QStringLiteral("Permission denied: the user '%1' may not use %2, which belongs "
                                  "to the group '%3'. Add the user to that group with\n")
                       .arg(user, facts.device, facts.deviceGroup) +
                   join.arg(facts.deviceGroup, user);
        // Joining the device's group would not help (or would mean joining root's): the
        // device must first be handed to the usual serial group.
        QString name = QFileInfo(QFileInfo(facts.device).canonicalFilePath()).fileName();
        if (name.isEmpty())
            name = QFileInfo(facts.device).fileName();
        return QStringLiteral("Permission denied: the user '%1' may not use %2, and its group "
                              "does not give access either. Ask the administrator to hand it to "
                              "the group 'dialout', for example with the udev rule\n"
                              "    KERNEL==\"%3\", GROUP=\"dialout\", MODE=\"0660\"\n"
                              "in /etc/udev/rules.d/60-serial.rules; then join that group with\n")
                   .arg(user, facts.device, name) +
               join.arg(QStringLiteral("dialout"), user);
    }
    case PortProblem::NoSuchDevice:
        if (facts.presentDevices.isEmpty())
            return QStringLiteral("There is no device %1, and no serial device is present: is "
                                  "the adapter plugged in?")
                .arg(facts.device);
        return QStringLiteral("There is no device %1. Serial devices present: %2.")
            .arg(facts.device, joined(facts.presentDevices));
    case PortProblem::InUse:
        if (facts.lockPid > 0 && !facts.lockProcess.isEmpty())
            return QStringLiteral("%1 is in use by another program: %2 (process %3). Close it "
                                  "there first.")
                .arg(facts.device, facts.lockProcess)
                .arg(facts.lockPid);
        if (facts.lockPid > 0)
            return QStringLiteral("%1 is in use by process %2. Close it there first.")
                .arg(facts.device)
                .arg(facts.lockPid);
        return QStringLiteral("%1 is in use by another program (is TrackFen running?). Close it "
                              "there first.")
            .arg(facts.device);
    case PortProblem::Other:
        break;
    }
    const QString reason = facts.sysError != 0
                               ? QString::fromLocal8Bit(std::strerror(facts.sysError))
                               : QStringLiteral("serial port error %1").arg(int(facts.error));
    return QStringLiteral("%1 cannot be opened: %2.").arg(facts.device, reason);
}

PortFacts gatherPortFacts(const QString& device, QSerialPort::SerialPortError error,
                          const QString& devRoot, const QStringList& lockDirs) {
    PortFacts facts;
    facts.device = device;
    facts.error = error;
#ifdef Q_OS_UNIX
    facts.sysError = device.isEmpty() ? ENOENT : directOpenError(device);
    facts.user = loginName();
    readGroup(device, facts);
    if (const qint64 pid = lockOwner(device, devRoot, lockDirs)) {
        facts.lockPid = pid;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            facts.lockProcess = QString::fromLocal8Bit(comm.readAll().trimmed());
    }
#else
    Q_UNUSED(lockDirs);
#endif
    facts.presentDevices = serialDevices(devRoot);
    return facts;
}

QStringList serialDevices(const QString& devRoot) {
    QStringList found;
    const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
    for (const QString& name : byId.entryList(QDir::System | QDir::Files, QDir::Name))
        found << byId.filePath(name);
    // ttyUSB2 before ttyUSB10 (the patterns below share their prefix within each group).
    const auto natural = [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    };
    const QDir dev(devRoot);
    for (const char* pattern : {"ttyUSB*", "ttyACM*"}) {
        QStringList names =
            dev.entryList({QLatin1String(pattern)}, QDir::System | QDir::Files, QDir::NoSort);
        std::sort(names.begin(), names.end(), natural);
        for (const QString& name : names)
            found << dev.filePath(name);
    }
    // Built-in ports only where hardware stands behind them: every PC has 32 ttyS nodes.
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        if (!found.contains(port.systemLocation()))
            found << port.systemLocation();
    return found;
}

} // namespace tf
