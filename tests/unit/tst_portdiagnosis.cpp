#include "link/portdiagnosis.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <unistd.h>

using namespace tf;

Q_DECLARE_METATYPE(tf::PortProblem)

class TestPortDiagnosis : public QObject {
    Q_OBJECT
private slots:
    // Each QSerialPort error and errno of a failed open, with the problem it means and the words a
    // user acts on.
    void reasons_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("sysError");
        QTest::addColumn<qint64>("lockPid");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<PortProblem>("problem");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QString>("group");
        const auto row = [](const char* name, int error, int sysError, PortProblem problem,
                            const QStringList& says, qint64 lockPid = 0,
                            const QStringList& present = {}, const QString& group = "uucp") {
            QTest::newRow(name) << error << sysError << lockPid << present << problem << says
                                << group;
        };
        const int perm = QSerialPort::PermissionError;
        const int notFound = QSerialPort::DeviceNotFoundError;
        const QStringList fix = {"user 'ann' may not use /dev/ttyUSB0", "group 'uucp'",
                                 "sudo usermod -aG uucp ann", "log in again"};
        row("EACCES", perm, EACCES, PortProblem::PermissionDenied, fix); // EPERM: the same
        // Only root may use the device: joining its group would not help, so the fix names dialout.
        row("EACCES, root's device", perm, EACCES, PortProblem::PermissionDenied,
            {R"(KERNEL=="ttyUSB0", GROUP="dialout", MODE="0660")", "sudo usermod -aG dialout ann"},
            0, {}, "root");
        row("ENOENT", notFound, ENOENT, PortProblem::NoSuchDevice,
            {"There is no device /dev/ttyUSB0",
             "present: /dev/serial/by-id/usb-FTDI_FT232R-if00-port0, /dev/ttyUSB0."},
            0, {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/ttyUSB0"});
        row("ENXIO, nothing present", notFound, ENXIO, PortProblem::NoSuchDevice,
            {"no serial device is present"});
        row("not found, no errno", notFound, 0, PortProblem::NoSuchDevice, {"There is no device"});
        row("EBUSY", perm, EBUSY, PortProblem::InUse,
            {"in use by another program (is TrackFen running?)"});
        // Opens directly but not through QSerialPort: another program's lock.
        row("locked, holder unknown", perm, 0, PortProblem::InUse, {"is in use"});
        row("locked by a named process", perm, EACCES, PortProblem::InUse,
            {"in use by another program: minicom (process 4321)"}, 4321);
        row("EIO", QSerialPort::OpenError, EIO, PortProblem::Other,
            {"cannot be opened: " + QString::fromLocal8Bit(strerror(EIO))});
        row("settings refused", QSerialPort::UnsupportedOperationError, 0, PortProblem::Other,
            {"cannot be opened: serial port error"});
    }

    void reasons() {
        QFETCH(int, error);
        QFETCH(int, sysError);
        QFETCH(qint64, lockPid);
        QFETCH(QStringList, present);
        QFETCH(PortProblem, problem);
        QFETCH(QStringList, says);
        QFETCH(QString, group);
        PortFacts facts;
        facts.device = QStringLiteral("/dev/ttyUSB0");
        facts.error = QSerialPort::SerialPortError(error);
        facts.sysError = sysError;
        facts.user = QStringLiteral("ann");
        facts.deviceGroup = group;
        facts.groupMayUse = group != "root";
        facts.lockPid = lockPid;
        facts.lockProcess = lockPid ? QStringLiteral("minicom") : QString();
        facts.presentDevices = present;
        QCOMPARE(classifyPortProblem(facts), problem);
        const QString text = portProblemText(problem, facts);
        for (const QString& words : says)
            QVERIFY2(text.contains(words), qPrintable(text));
    }

    // The devices a missing one is told apart from, and who holds a device through its lock
    // file under either of its names.
    void devicesAndLockHolder() {
        QTemporaryDir dev, locks;
        QVERIFY(dev.isValid() && locks.isValid());
        for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "null"})
            touch(dev.filePath(name));
        QVERIFY(QDir(dev.path()).mkpath("serial/by-id"));
        QVERIFY(QFile::link("../../ttyUSB2", dev.filePath("serial/by-id/usb-Prolific-port0")));
        const QStringList found = serialDevices(dev.path());
        const QStringList expected = {dev.filePath("serial/by-id/usb-Prolific-port0"),
                                      dev.filePath("ttyUSB2"), dev.filePath("ttyUSB10"),
                                      dev.filePath("ttyACM0")};
        QCOMPARE(found.mid(0, expected.size()), expected);
        // Built-in ports come only from what the system reports, never from the 32 bare ttyS nodes.
        QVERIFY(!found.contains(dev.filePath("ttyS0")));

        // A missing device names what is there instead.
        PortFacts facts =
            gatherPortFacts(dev.filePath("ttyUSB3"), QSerialPort::DeviceNotFoundError, dev.path());
        QCOMPARE(classifyPortProblem(facts), PortProblem::NoSuchDevice);
        QCOMPARE(facts.presentDevices, found);

        const QString device = dev.filePath("ttyUSB0");
        touch(device);
        QProcess holder;
        holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(holder.waitForStarted());
        auto writeLock = [&](qint64 pid) {
            QFile lock(locks.filePath("LCK..ttyUSB0"));
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(QByteArray::number(pid) + "\ntrackfen\nhost\n");
        };
        writeLock(holder.processId());
        facts = gatherPortFacts(device, QSerialPort::PermissionError, dev.path(), {locks.path()});
        QCOMPARE(facts.lockPid, holder.processId());
        QCOMPARE(facts.lockProcess, QStringLiteral("sleep"));
        QCOMPARE(classifyPortProblem(facts), PortProblem::InUse);
        // Asked by its stable name, the device is found locked under either name.
        const QString byId = dev.filePath("serial/by-id/usb-x");
        QVERIFY(QFile::link(device, byId));
        QCOMPARE(
            gatherPortFacts(byId, QSerialPort::PermissionError, dev.path(), {locks.path()}).lockPid,
            holder.processId());
        QVERIFY(QFile::rename(locks.filePath("LCK..ttyUSB0"),
                              locks.filePath("LCK..serial_by-id_usb-x")));
        QCOMPARE(
            gatherPortFacts(byId, QSerialPort::PermissionError, dev.path(), {locks.path()}).lockPid,
            holder.processId());
        writeLock(holder.processId());

        // A lock left by a process that has gone holds nothing.
        holder.kill();
        QVERIFY(holder.waitForFinished());
        facts = gatherPortFacts(device, QSerialPort::PermissionError, dev.path(), {locks.path()});
        QCOMPARE(facts.lockPid, 0);
    }

    void permissionDeniedForReal() {
        if (::geteuid() == 0)
            QSKIP("runs as root, which may open any device: permission denied cannot happen here");
        QTemporaryDir dev;
        const QString device = dev.filePath("ttyUSB0");
        touch(device);
        QVERIFY(QFile::setPermissions(device, QFileDevice::Permissions()));
        const PortFacts facts = gatherPortFacts(device, QSerialPort::PermissionError, dev.path());
        QCOMPARE(facts.sysError, EACCES);
        QCOMPARE(classifyPortProblem(facts), PortProblem::PermissionDenied);
        // Nobody but its owner may use it: joining its group would not help.
        QVERIFY(!facts.groupMayUse);
        QVERIFY(portProblemText(PortProblem::PermissionDenied, facts)
                    .contains("sudo usermod -aG dialout " + facts.user));
    }

private:
    static void touch(const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
};

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "tst_portdiagnosis.moc"
