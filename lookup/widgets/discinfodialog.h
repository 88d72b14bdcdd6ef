#pragma once

#include "lookup/lookupflow.h"
#include "lookup/xmcd.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace tf {

// The disc information window: artist, title, year, genre, track titles and the extended
// data of a disc, read-only in view mode and editable in edit mode.
class DiscInfoDialog : public QDialog {
    Q_OBJECT
public:
    DiscInfoDialog(const CddbDisc& disc, bool editable, QWidget* parent = nullptr);

    // The disc with the window's values (the original in view mode).
    CddbDisc disc() const;
    // True when the window was left with OK and some value differs from the original.
    bool changed() const;

    // Runs the window on `disc`; with `editable` an OK takes the new values into it. True
    // when something was changed.
    static bool show(CddbDisc& disc, bool editable, QWidget* parent);

private:
    CddbDisc m_original;
    bool m_editable = false;
    QLineEdit* m_artist = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_year = nullptr;
    QLineEdit* m_genre = nullptr;
    QComboBox* m_category = nullptr;
    QTableWidget* m_tracks = nullptr;
    QPlainTextEdit* m_extended = nullptr;
};

// The lookup windows for the desktop.
class WindowLookupChooser : public LookupChooser {
public:
    explicit WindowLookupChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    std::optional<int> chooseCandidate(const QList<CddbMatch>& matches) override;
    bool showDiscInfo(CddbDisc& disc, bool editable) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace tf
