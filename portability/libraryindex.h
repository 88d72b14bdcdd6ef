#pragma once

// The title index of a data folder, kept current as the folder changes. Every title change
// ends in the folder (the editor's save, a lookup or CD TEXT read writing DISC<n>.txt, the
// read-all pass and the start-up read rebuilding the disc list, an import, also one made by
// trackfen-ctl while the program runs), so the folder is watched rather than each writer:
// a change schedules a pass that re-reads only the discs whose files changed.

#include "portability/titleindex.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

namespace tf::search {

class LibraryIndex : public QObject {
    Q_OBJECT
public:
    explicit LibraryIndex(QObject* parent = nullptr);

    // Reads the whole folder (the start-up build) and watches it from now on.
    void setFolder(const QString& dataDir);
    // Re-reads what changed since the last pass, at once; changed() when anything did.
    void update();

    const TitleIndex& index() const { return m_index; }

    // How long a burst of file changes settles before the pass runs (a save or an import
    // writes several files in a row).
    static constexpr int kSettleMs = 150;

signals:
    void changed();

private:
    struct Stamp {
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const Stamp&) const = default;
    };
    QHash<QString, Stamp> currentStamps() const;

    QString m_dataDir;
    TitleIndex m_index;
    QHash<QString, Stamp> m_stamps; // file name -> what it was at the last pass
    QHash<int, QString> m_listTitles;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

} // namespace tf::search
