#include "editing/widgets/titlegrid.h"

#include "base/catalogue.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

namespace tf {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kColumnTwips[3] = {800, 4075, 4025};
constexpr int kWideEditorMarginTwips = 1100; // an editor wider than its cell leaves this free

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TitleGrid::TitleGrid(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("grdWin"));
    setColumnCount(3);
    setHorizontalHeaderLabels({msg(msgid::GridHeaderTrack), msg(msgid::GridHeaderFullLength),
                               msg(msgid::GridHeaderCdMemory)});
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);

    m_editor = new QLineEdit(this);
    m_editor->setObjectName(QStringLiteral("TxtForEdit"));
    m_editor->hide();
    m_editor->installEventFilter(this);

    connect(this, &QTableWidget::cellDoubleClicked, this, [this] { beginEdit(); });
    // Scrolling moves the cell away under the editor: commit rather than write elsewhere.
    auto commitOnScroll = [this] {
        if (editing()) {
            setFocus();
            commitEdit();
        }
    };
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, commitOnScroll);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, commitOnScroll);
    setUp(1, 1);
}

QTableWidgetItem* TitleGrid::cell(int row, int column) {
    QTableWidgetItem* it = item(row, column);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, column, it);
    }
    return it;
}

void TitleGrid::setUp(int minTno, int maxTno) {
    cancelEdit();
    m_minTno = qint16(minTno);
    m_maxTno = qint16(qMax(minTno, maxTno));
    clearContents();
    setRowCount(m_maxTno - m_minTno + 1);
    for (int r = 0; r < rowCount(); ++r) {
        cell(r, kTrackColumn)->setText(QString::number(m_minTno + r));
        cell(r, kFullColumn);
        cell(r, kMemoryColumn);
    }
    setColumnWidths();
}

void TitleGrid::clearGrid() {
    cancelEdit();
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* it = item(r, c))
                it->setText(QString());
}

QString TitleGrid::cellText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void TitleGrid::setCellText(int row, int column, const QString& text) {
    if (row >= 0 && row < rowCount())
        cell(row, column)->setText(text);
}

int TitleGrid::rowOfTrack(int track) const {
    for (int r = 0; r < rowCount(); ++r)
        if (cellText(r, kTrackColumn) == QString::number(track))
            return r;
    return -1;
}

QStringList TitleGrid::columnTexts(int column) const {
    QStringList out;
    for (int r = 0; r < rowCount(); ++r)
        out.append(cellText(r, column));
    return out;
}

void TitleGrid::setColumnWidths() {
    for (int c = 0; c < 3; ++c)
        setColumnWidth(c, kColumnTwips[c] / kTwipsPerPixel);
}

bool TitleGrid::editing() const {
    return m_editor->isVisible();
}

void TitleGrid::beginEdit() {
    const int row = currentRow();
    const int column = currentColumn();
    // Track numbers are the grid's structure, not text: only the title columns are edited.
    if (row < 0 || column < kFullColumn)
        return;
    if (editing())
        commitEdit();
    m_editRow = row;
    m_editColumn = column;
    m_editor->setText(cellText(row, column));
    m_editor->setCursorPosition(0);
    placeEditor();
    m_editor->show();
    m_editor->raise();
    m_editor->setFocus();
}

void TitleGrid::placeEditor() {
    const QRect cellRect = visualRect(model()->index(m_editRow, m_editColumn));
    const QPoint topLeft = viewport()->mapTo(this, cellRect.topLeft());
    if (cellRect.width() < width()) {
        m_editor->setGeometry(QRect(topLeft, cellRect.size()));
    } else {
        m_editor->setGeometry(topLeft.x(), topLeft.y(),
                              width() - kWideEditorMarginTwips / kTwipsPerPixel, cellRect.height());
    }
}

void TitleGrid::commitEdit() {
    if (!editing() || m_closingEditor)
        return;
    const QString text = m_editor->text();
    const int row = m_editRow;
    const int column = m_editColumn;
    closeEditor();
    if (row < 0 || row >= rowCount() || text == cellText(row, column))
        return;
    setCellText(row, column, column == kMemoryColumn ? text.left(kMemoryTitleChars) : text);
    setColumnWidths();
    emit edited();
}

void TitleGrid::cancelEdit() {
    if (editing() && !m_closingEditor)
        closeEditor();
}

void TitleGrid::closeEditor() {
    // The focus comes back to the grid before the editor hides: a hidden focus widget would
    // pass the focus on as if Tab had been pressed, moving the current cell.
    m_closingEditor = true;
    if (m_editor->hasFocus())
        setFocus();
    m_editor->hide();
    m_closingEditor = false;
}

void TitleGrid::moveCurrentRow(int delta) {
    const int row = currentRow() + delta;
    if (row < 0 || row >= rowCount())
        return;
    setCurrentCell(row, qMax(currentColumn(), 0));
    scrollToItem(item(row, qMax(currentColumn(), 0)));
}

bool TitleGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_editor)
        return QTableWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        commitEdit();
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep Enter and Esc from reaching a default button or a shortcut.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (isEnterKey(key) || key == Qt::Key_Escape) {
            event->accept();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Escape:
        cancelEdit();
        setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        setFocus();
        commitEdit();
        return true;
    case Qt::Key_Up:
        setFocus();
        commitEdit();
        moveCurrentRow(-1);
        return true;
    case Qt::Key_Down:
        setFocus();
        commitEdit();
        moveCurrentRow(+1);
        return true;
    default:
        return false;
    }
}

void TitleGrid::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (event->key() == Qt::Key_F2 && ctrl) {
        beginEdit();
        return;
    }
    if (isEnterKey(event->key())) {
        if (currentRow() == rowCount() - 1) {
            if (ctrl)
                removeLastRow();
            else
                appendRow();
        }
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TitleGrid::appendRow() {
    if (rowCount() >= kMaxGridRows || m_maxTno >= 99)
        return;
    ++m_maxTno;
    const int row = rowCount();
    setRowCount(row + 1);
    cell(row, kTrackColumn)->setText(QString::number(m_maxTno));
    cell(row, kFullColumn);
    cell(row, kMemoryColumn);
    setCurrentCell(row, qMax(currentColumn(), 0));
    scrollToItem(item(row, qMax(currentColumn(), 0)));
    setColumnWidths();
    emit edited();
}

void TitleGrid::removeLastRow() {
    if (rowCount() < 2)
        return;
    cancelEdit();
    --m_maxTno;
    setRowCount(rowCount() - 1);
    setColumnWidths();
    emit edited();
}

} // namespace tf
