#pragma once

#include "lookup/cddbprotocol.h"

#include <QDialog>
#include <QList>

#include <optional>

class QTreeWidget;

namespace tf {

// The candidate choice: every match the database offered with its category, artist and
// title, inexact ones marked, its source (CDDB or MusicBrainz) and release details, and "None
// of these", which ends the lookup. Texts from the
// network are shown as plain text.
class CandidateDialog : public QDialog {
    Q_OBJECT
public:
    explicit CandidateDialog(const QList<CddbMatch>& matches, QWidget* parent = nullptr);

    // The picked match, or nullopt for "None of these" and for a closed window.
    std::optional<int> choice() const;

    // Runs the window; what choice() gives afterwards.
    static std::optional<int> choose(const QList<CddbMatch>& matches, QWidget* parent);

    static QString noneOfTheseText() { return QStringLiteral("None of these"); }
    static QString inexactMark() { return QStringLiteral("close match"); }

private:
    void acceptCurrent();

    QTreeWidget* m_list = nullptr;
    int m_count = 0;
    std::optional<int> m_choice;
};

} // namespace tf
