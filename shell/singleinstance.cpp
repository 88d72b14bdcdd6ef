#include "shell/singleinstance.h"
#include "store/storefiles.h"

#include <QDir>

namespace tf {

SingleInstance::SingleInstance(const QString& programDir)
    : m_path(QDir(programDir).filePath(storefiles::kInstanceLock)) {}

bool SingleInstance::tryLock() {
    if (isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(m_path);
    // A running instance holds the lock however long it runs; only a dead owner's lock is
    // stale.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace tf
