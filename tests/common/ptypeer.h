#pragma once

#include "link/unitassembler.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

namespace tf::test {

// The far end of a real pseudo-terminal, played by the test: it sees every unit the
// application sends and answers with exactly the bytes a test scripts, split or coalesced
// as the test chooses. Used where a case needs byte-level control that a whole changer
// simulator would hide.
class PtyPeer : public QObject {
    Q_OBJECT
public:
    PtyPeer();
    ~PtyPeer() override;

    QString slavePath() const { return m_slavePath; }

    // Called with each unit the application sent, in order.
    std::function<void(const QByteArray& unit)> onUnit;

    void write(const QByteArray& bytes);
    // Closes the master end: the application sees a hang-up.
    void hangUp();

    QList<QByteArray> received; // every unit the application sent
    int count(quint8 controlByte) const;

private:
    void readable();

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
    UnitAssembler m_assembler;
};

} // namespace tf::test
