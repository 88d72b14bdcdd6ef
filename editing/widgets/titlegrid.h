#pragma once

#include <QStringList>
#include <QTableWidget>

class QLineEdit;

namespace tf {

// The title grid `grdWin`: TRACK, "FULL Length Title" and "CD Memory's Title", one row per
// track from min TNO to max TNO. The grid itself is read-only; the floating box `TxtForEdit`
// is laid over a title cell to edit it and writes back when it loses the focus.
class TitleGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kTrackColumn = 0;
    static constexpr int kFullColumn = 1;
    static constexpr int kMemoryColumn = 2;
    static constexpr int kMaxGridRows = 99; // track rows; the changer has no track beyond 99
    static constexpr int kMemoryTitleChars = 25;

    explicit TitleGrid(QWidget* parent = nullptr);

    // Rows for tracks minTno..maxTno with their numbers; every title cell empty.
    void setUp(int minTno, int maxTno);
    // Removes every cell's text, keeping the rows.
    void clearGrid();

    qint16 minTno() const { return m_minTno; }
    qint16 maxTno() const { return m_maxTno; }
    int trackRows() const { return rowCount(); }

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    // The row of a track number, -1 when there is none.
    int rowOfTrack(int track) const;
    QStringList columnTexts(int column) const;

    QLineEdit* editor() const { return m_editor; }
    bool editing() const;
    // Starts editing the current cell (double-click and Ctrl+F2 do this).
    void beginEdit();
    // Writes the editor's text into the cell remembered at the start and hides the editor.
    void commitEdit();
    // Hides the editor without writing anything.
    void cancelEdit();

signals:
    // A cell's text was changed by the editor, or a row was appended or removed.
    void edited();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyboardSearch(const QString&) override {} // typing never jumps or edits

private:
    QTableWidgetItem* cell(int row, int column);
    void setColumnWidths();
    void placeEditor();
    void closeEditor();
    void moveCurrentRow(int delta);
    void appendRow();
    void removeLastRow();

    QLineEdit* m_editor = nullptr;
    int m_editRow = -1;
    int m_editColumn = -1;
    bool m_closingEditor = false;
    qint16 m_minTno = 1;
    qint16 m_maxTno = 1;
};

} // namespace tf
