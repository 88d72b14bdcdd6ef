#include "sim/simport.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tf::sim {

namespace {

constexpr qint64 kMaxQueuedBytes = 1 << 20;
constexpr int kRetryWriteMs = 5;

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

LinePort::LinePort(QObject* parent) : QObject(parent) {
    m_clock.start();
    connect(&m_writeTimer, &NsTimer::timeout, this, &LinePort::flushOutput);
    connect(&m_readTimer, &NsTimer::timeout, this, &LinePort::deliverInput);
}

void LinePort::setPaced(bool paced) {
    if (paced && !m_paced) // line time starts now, not where unpaced sending left it
        m_nextByteNs = m_inLineFreeNs = m_clock.nsecsElapsed();
    m_paced = paced;
}

LinePort::~LinePort() {
    hangUp();
}

bool LinePort::openPty(const QString& linkPath, QString* error) {
    m_linkPath = linkPath;
    m_device.clear();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError("preparing the pseudo-terminal");
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = systemError("opening the pseudo-terminal");
        ::close(master);
        return false;
    }
    // Raw 9600 8N2 with no echo, or the changer would read its own bytes back.
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CSTOPB | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);

    m_master = master;
    m_slave = slave;
    m_path = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LinePort::readMaster);
    if (!m_linkPath.isEmpty() && !makeLink(error)) {
        hangUp();
        return false;
    }
    return true;
}

bool LinePort::makeLink(QString* error) {
    const QFileInfo existing(m_linkPath);
    if ((existing.exists() || existing.isSymLink()) && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_linkPath);
        return false;
    }
    const QByteArray link = QFile::encodeName(m_linkPath);
    const QByteArray temporary = link + ".tmp" + QByteArray::number(getpid());
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(m_path).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        *error = systemError("making the link");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void LinePort::removeLink() {
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo link(m_linkPath);
    if (link.isSymLink() && link.symLinkTarget() == m_path)
        ::unlink(QFile::encodeName(m_linkPath).constData());
}

bool LinePort::openDevice(const QString& device, QString* error) {
    m_device = device;
    auto* serial = new QSerialPort(device, this);
    serial->setBaudRate(QSerialPort::Baud9600);
    serial->setDataBits(QSerialPort::Data8);
    serial->setParity(QSerialPort::NoParity);
    serial->setStopBits(QSerialPort::TwoStop);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial->open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1: %2").arg(device, serial->errorString());
        delete serial;
        return false;
    }
    m_serial = serial;
    m_path = device;
    connect(serial, &QSerialPort::readyRead, this, [this] { emit received(m_serial->readAll()); });
    connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
            e == QSerialPort::WriteError) {
            const QString reason = m_serial->errorString();
            hangUp();
            emit closed(reason);
        }
    });
    return true;
}

bool LinePort::reopen(QString* error) {
    hangUp();
    return m_device.isEmpty() ? openPty(m_linkPath, error) : openDevice(m_device, error);
}

void LinePort::hangUp() {
    m_writeTimer.stop();
    m_queue.clear();
    m_readTimer.stop();
    m_inBytes.clear();
    m_inDueNs.clear();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_serial) {
        m_serial->disconnect(this);
        m_serial->close();
        m_serial->deleteLater();
        m_serial = nullptr;
    }
}

void LinePort::readMaster() {
    char buffer[4096];
    QByteArray bytes;
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        const QString reason = n == 0 ? QStringLiteral("end of file") : systemError("read");
        if (!bytes.isEmpty())
            takeInput(bytes);
        if (!m_inBytes.isEmpty()) { // what was on the wire still arrives before the hang-up
            const QByteArray pending = m_inBytes;
            m_inBytes.clear();
            m_inDueNs.clear();
            emit received(pending);
        }
        hangUp();
        emit closed(reason);
        return;
    }
    if (!bytes.isEmpty())
        takeInput(bytes);
}

void LinePort::takeInput(const QByteArray& bytes) {
    if (m_frameSentNs >= 0) {
        const qint64 latencyNs = m_clock.nsecsElapsed() - m_frameSentNs;
        m_frameSentNs = -1;
        if (m_answerLatenciesUs.size() >= 10000)
            m_answerLatenciesUs.removeFirst();
        m_answerLatenciesUs.append(qMax<qint64>(0, latencyNs) / 1000);
    }
    if (!m_paced) {
        emit received(bytes);
        return;
    }
    const qint64 now = m_clock.nsecsElapsed();
    if (m_inDueNs.isEmpty() && m_inLineFreeNs < now)
        m_inLineFreeNs = now;
    for (char byte : bytes) {
        m_inLineFreeNs += kByteWireNs;
        m_inBytes.append(byte);
        m_inDueNs.append(m_inLineFreeNs);
    }
    deliverInput();
}

void LinePort::deliverInput() {
    const qint64 now = m_clock.nsecsElapsed();
    qsizetype due = 0;
    while (due < m_inDueNs.size() && m_inDueNs.at(due) <= now)
        ++due;
    if (due < m_inDueNs.size()) {
        const qint64 waitNs = m_inDueNs.at(due) - now;
        m_readTimer.start(waitNs);
    }
    if (due == 0)
        return;
    const QByteArray arrived = m_inBytes.left(due);
    m_inBytes.remove(0, due);
    m_inDueNs.remove(0, due);
    emit received(arrived);
}

void LinePort::write(const QByteArray& bytes, int gapMs) {
    if (!isOpen() || bytes.isEmpty())
        return;
    if (queuedBytes() + bytes.size() > kMaxQueuedBytes)
        return; // nobody reads the line; what cannot be held is lost, as on a wire
    const qint64 now = m_clock.nsecsElapsed();
    if (m_queue.isEmpty() && m_nextByteNs < now)
        m_nextByteNs = now; // the line was idle: deadlines start again from now
    m_queue.append({bytes, gapMs, -1, 0, bytes.front() == '\x02'});
    flushOutput();
}

qint64 LinePort::queuedBytes() const {
    qint64 total = 0;
    for (const Chunk& chunk : m_queue)
        total += chunk.bytes.size() - chunk.offset;
    return total;
}

qint64 LinePort::writeRaw(const char* data, qint64 size) {
    if (m_serial)
        return m_serial->write(data, size);
    if (m_master < 0)
        return -1;
    const ssize_t n = ::write(m_master, data, static_cast<size_t>(size));
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return n;
}

void LinePort::armWriteTimer(qint64 atNs) {
    const qint64 waitNs = atNs - m_clock.nsecsElapsed();
    m_writeTimer.start(waitNs);
}

void LinePort::flushOutput() {
    while (!m_queue.isEmpty() && isOpen()) {
        const qint64 now = m_clock.nsecsElapsed();
        Chunk& chunk = m_queue.first();
        if (chunk.notBeforeNs < 0) {
            const qint64 lineFree = m_paced ? m_nextByteNs : m_lineFreeNs;
            chunk.notBeforeNs = chunk.gapMs > 0 ? qMax(now, lineFree) + chunk.gapMs * 1000000LL : 0;
            if (m_paced && chunk.notBeforeNs > m_nextByteNs)
                m_nextByteNs = chunk.notBeforeNs;
        }
        if (now < chunk.notBeforeNs) {
            armWriteTimer(chunk.notBeforeNs);
            return;
        }
        qint64 count = chunk.bytes.size() - chunk.offset;
        if (m_paced) {
            // A byte reaches the PC when its last stop bit has crossed the wire, not when it
            // starts: it is written once its whole wire time is over.
            const qint64 firstDone = m_nextByteNs + kByteWireNs;
            if (now < firstDone) {
                armWriteTimer(firstDone);
                return;
            }
            // Every byte whose wire time is over goes out now; late timers catch up.
            count = qMin(count, (now - m_nextByteNs) / kByteWireNs);
        }
        const qint64 written = writeRaw(chunk.bytes.constData() + chunk.offset, count);
        if (written < 0) {
            hangUp();
            emit closed(QStringLiteral("write failed"));
            return;
        }
        chunk.offset += written;
        if (m_paced)
            m_nextByteNs += written * kByteWireNs;
        m_lineFreeNs = now;
        if (chunk.offset >= chunk.bytes.size()) {
            // On a paced line the last byte is through when its wire time is over.
            if (chunk.frame)
                m_frameSentNs = m_paced ? m_nextByteNs : m_clock.nsecsElapsed();
            m_queue.removeFirst();
        }
        if (written < count) {
            m_writeTimer.start(kRetryWriteMs * 1000000LL); // the line's buffer is full
            return;
        }
        if (m_paced && !m_queue.isEmpty()) {
            armWriteTimer(m_nextByteNs);
            return;
        }
    }
}

} // namespace tf::sim
