#include "portability/libraryindex.h"

#include "store/disclist.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace tf::search {

namespace {

const QString kDiscList = QStringLiteral("tempdisc.txt");

// The slot of a per-disc file name (DISC7.txt, or DISC7.tmp saved without identifier), 0 else.
int slotOfFile(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^DISC([1-9][0-9]{0,2})\\.(txt|tmp)$"));
    const auto m = re.match(name);
    const int slot = m.hasMatch() ? m.captured(1).toInt() : 0;
    return slot <= disclist::kSlotCount ? slot : 0;
}

} // namespace

LibraryIndex::LibraryIndex(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &LibraryIndex::update);
    // The folder's listing changes with every replacement (scratch file renamed over the old).
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle,
            qOverload<>(&QTimer::start));
}

void LibraryIndex::setFolder(const QString& dataDir) {
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_dataDir = dataDir;
    m_index.clear();
    m_stamps.clear();
    m_listTitles.clear();
    if (QDir(dataDir).exists())
        m_watcher.addPath(dataDir);
    update();
}

QHash<QString, LibraryIndex::Stamp> LibraryIndex::currentStamps() const {
    QHash<QString, Stamp> stamps;
    const QFileInfoList files = QDir(m_dataDir).entryInfoList({QStringLiteral("DISC*"), kDiscList},
                                                              QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& f : files) {
        if (f.fileName() == kDiscList || slotOfFile(f.fileName()) > 0)
            stamps.insert(f.fileName(), Stamp{f.lastModified(), f.size()});
    }
    return stamps;
}

void LibraryIndex::update() {
    m_settle.stop();
    const QHash<QString, Stamp> stamps = currentStamps();
    QSet<int> dirty;
    for (auto it = stamps.cbegin(); it != stamps.cend(); ++it)
        if (m_stamps.value(it.key()) != it.value())
            dirty.insert(slotOfFile(it.key()));
    for (auto it = m_stamps.cbegin(); it != m_stamps.cend(); ++it)
        if (!stamps.contains(it.key()))
            dirty.insert(slotOfFile(it.key()));
    if (dirty.isEmpty())
        return;
    // Slot 0 stands for the disc list: every slot whose list title changed is read again.
    if (dirty.remove(0)) {
        QHash<int, QString> titles;
        if (const auto entries = disclist::read(m_dataDir))
            for (const disclist::Entry& e : *entries)
                if (!titles.contains(e.slot))
                    titles.insert(e.slot, e.title);
        for (auto it = titles.cbegin(); it != titles.cend(); ++it)
            if (m_listTitles.value(it.key()) != it.value())
                dirty.insert(it.key());
        for (auto it = m_listTitles.cbegin(); it != m_listTitles.cend(); ++it)
            if (!titles.contains(it.key()))
                dirty.insert(it.key());
        m_listTitles = titles;
    }
    for (const int slot : std::as_const(dirty))
        m_index.setDisc(readDiscTexts(m_dataDir, slot, m_listTitles.value(slot)));
    m_stamps = stamps;
    emit changed();
}

} // namespace tf::search
