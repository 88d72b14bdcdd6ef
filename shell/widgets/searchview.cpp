#include "shell/widgets/searchview.h"

#include "base/catalogue.h"
#include "portability/titleindex.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tf {

namespace {

constexpr int kShownResults = 200; // more than a list can usefully show; the count tells all
constexpr int kSlotRole = Qt::UserRole;
constexpr int kTrackRole = Qt::UserRole + 1;

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

SearchView::SearchView(const search::TitleIndex& index, SearchActions& actions, QTabWidget* tabs)
    : QFrame(tabs), m_index(index), m_actions(actions), m_tabs(tabs) {
    setObjectName(QStringLiteral("picSearch"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    hide();

    m_field = new QLineEdit;
    m_field->setObjectName(QStringLiteral("txtSearch"));
    m_field->setPlaceholderText(msg(msgid::SearchPlaceholder));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(220);
    tabs->setCornerWidget(m_field, Qt::TopRightCorner);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstSearch"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({msg(msgid::SearchHeaderSlot), msg(msgid::SearchHeaderTrack),
                             msg(msgid::SearchHeaderDisc), msg(msgid::SearchHeaderTitle)});
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->setColumnWidth(0, 50);
    m_list->setColumnWidth(1, 55);
    m_list->setColumnWidth(2, 260);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbSearchStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_play = new QPushButton(msg(msgid::SearchPlayButton), this);
    m_play->setObjectName(QStringLiteral("cmdSearchPlay"));
    m_open = new QPushButton(msg(msgid::SearchOpenButton), this);
    m_open->setObjectName(QStringLiteral("cmdSearchOpen"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_play);
    buttons->addWidget(m_open);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_field, &QLineEdit::textEdited, this, &SearchView::runQuery);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &SearchView::playCurrent);
    connect(m_play, &QPushButton::clicked, this, &SearchView::playCurrent);
    connect(m_open, &QPushButton::clicked, this, &SearchView::openCurrent);
    m_field->installEventFilter(this);
    m_list->installEventFilter(this);
    tabs->installEventFilter(this);

    // From either tab, and from anywhere in the window.
    auto* find = new QShortcut(QKeySequence::Find, tabs->window());
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &SearchView::enter);
}

void SearchView::enter() {
    QWidget* focus = QApplication::focusWidget();
    if (focus != m_field && !isAncestorOf(focus))
        m_returnFocus = focus;
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    if (!m_field->text().isEmpty())
        runQuery();
}

void SearchView::leave() {
    hide();
    if (m_returnFocus && m_returnFocus->isVisible() && m_returnFocus->isEnabled())
        m_returnFocus->setFocus(Qt::OtherFocusReason);
    else
        m_tabs->currentWidget() ? m_tabs->currentWidget()->setFocus() : m_tabs->setFocus();
}

void SearchView::refresh() {
    if (isVisible())
        runQuery();
}

void SearchView::place() {
    // Over the pages, below the tab bar: the tabs stay where the user left them.
    const int top = m_tabs->tabBar()->height();
    setGeometry(0, top, m_tabs->width(), m_tabs->height() - top);
    raise();
}

void SearchView::runQuery() {
    const QString typed = m_field->text();
    if (search::fold(typed).isEmpty()) {
        hide();
        return;
    }
    const QList<search::Hit> hits = m_index.query(typed);
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = 0; i < hits.size() && i < kShownResults; ++i) {
        const search::Hit& h = hits.at(i);
        auto* item = new QTreeWidgetItem({QString::number(h.slot),
                                          h.isDisc() ? QString() : QString::number(h.track),
                                          h.discTitle, h.trackTitle});
        item->setData(0, kSlotRole, h.slot);
        item->setData(0, kTrackRole, h.track);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());
    m_status->setText(hits.isEmpty() ? msg(msgid::SearchNoMatch)
                                     : msg(msgid::SearchResults) + QString::number(hits.size()));
    m_play->setEnabled(!hits.isEmpty());
    m_open->setEnabled(!hits.isEmpty());
    place();
    show();
}

bool SearchView::currentResult(int* disc, int* track) const {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!isVisible() || !item)
        return false;
    *disc = item->data(0, kSlotRole).toInt();
    *track = item->data(0, kTrackRole).toInt();
    return true;
}

void SearchView::playCurrent() {
    int disc = 0;
    int track = 0;
    if (!currentResult(&disc, &track))
        return;
    const QString refusal = m_actions.playResult(disc, track);
    m_status->setText(
        refusal.isEmpty()
            ? msg(msgid::SearchPlaying) + QString::number(disc) +
                  (track > 0 ? msg(msgid::SearchPlayingTrack) + QString::number(track) : QString())
            : refusal);
}

void SearchView::openCurrent() {
    int disc = 0;
    int track = 0;
    if (!currentResult(&disc, &track))
        return;
    leave();
    m_actions.openOnTitlesTab(disc);
}

bool SearchView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tabs && event->type() == QEvent::Resize && isVisible()) {
        place();
        return false;
    }
    if (event->type() != QEvent::KeyPress || (watched != m_field && watched != m_list))
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        leave();
        return true;
    }
    if (isEnter(key)) {
        if (key->modifiers() & Qt::ControlModifier)
            openCurrent();
        else
            playCurrent();
        return true;
    }
    if (watched == m_field) {
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // The field keeps the focus: typing on refines the results being browsed.
            if (isVisible())
                QApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace tf
