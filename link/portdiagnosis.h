#pragma once

// Why a serial device would not open, told in words a user can act on: the group to join, the
// devices that do exist, the process that holds the port.

#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace tf {

enum class PortProblem { PermissionDenied, NoSuchDevice, InUse, Other };

// What the system says about a device that would not open.
struct PortFacts {
    QString device;
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    int sysError = 0;           // errno of opening the device directly; 0 when it opened
    QString user;               // the login name
    QString deviceGroup;        // the group that owns the device, when it exists
    bool groupMayUse = true;    // that group may read and write it (and is not root's)
    qint64 lockPid = 0;         // the live process named in the device's lock file
    QString lockProcess;        // its command name, when known
    QStringList presentDevices; // the serial devices present (stable names first)
};

// The problem behind a failed open. The errno of a direct open decides where there is one:
// QSerialPort reports a lock held by another program as a permission error too.
PortProblem classifyPortProblem(const PortFacts& facts);

// The reason and its fix, for the error message and trackfen-ctl.
QString portProblemText(PortProblem problem, const PortFacts& facts);

// Reads the facts off the system for `device` after `error` from QSerialPort::open. `devRoot`
// and `lockDirs` are where devices and lock files are looked for (folders of a test).
PortFacts gatherPortFacts(const QString& device, QSerialPort::SerialPortError error,
                          const QString& devRoot = QStringLiteral("/dev"),
                          const QStringList& lockDirs = {});

// The serial devices present: the names under `devRoot`/serial/by-id first, since they survive
// reboots and re-plugging, then `devRoot`'s ttyUSB* and ttyACM* in natural order, then the
// other ports the system reports.
QStringList serialDevices(const QString& devRoot = QStringLiteral("/dev"));

} // namespace tf
