#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace tf {

// The one-instance rule: a lock file in the program folder, held for the life of the process.
// A second process finds it held and leaves without touching anything else. A lock left by a
// process that died is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& programDir);

    // True when this process is now the only instance.
    bool tryLock();
    bool isLocked() const { return m_lock && m_lock->isLocked(); }
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tf
