#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace tf {

namespace search {
class TitleIndex;
}

// What a chosen search result does; the composition answers through the two tabs.
class SearchActions {
public:
    virtual ~SearchActions() = default;
    // Plays the result through the audio tab's disc and track choice (track 0: the disc from
    // its first track). Empty when the request was sent, else why nothing was sent.
    virtual QString playResult(int disc, int track) = 0;
    // Shows the disc on the titles tab, after the question about unsaved titles.
    virtual void openOnTitlesTab(int disc) = 0;
};

// The title search of the main window: a field in the tab bar (`txtSearch`, Ctrl+F from either
// tab) and, while it is used, a result list laid over the tab pages (`lstSearch`: slot, track,
// disc title, track title). Up, Down, Page Up and Page Down move through the results from the
// field; Enter or a double click plays the result, Ctrl+Enter opens its disc on the titles tab;
// Escape hands the focus back to where it was and hides the list.
class SearchView : public QFrame {
    Q_OBJECT
public:
    SearchView(const search::TitleIndex& index, SearchActions& actions, QTabWidget* tabs);

    QLineEdit* field() const { return m_field; }
    QTreeWidget* results() const { return m_list; }
    QLabel* statusLabel() const { return m_status; }

    // Ctrl+F: the field takes the focus with its text selected.
    void enter();
    // Escape.
    void leave();
    // The index changed: the shown results are queried again.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runQuery();
    void playCurrent();
    void openCurrent();
    void place();
    bool currentResult(int* disc, int* track) const;

    const search::TitleIndex& m_index;
    SearchActions& m_actions;
    QTabWidget* m_tabs;
    QLineEdit* m_field = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_open = nullptr;
    QPointer<QWidget> m_returnFocus;
};

} // namespace tf
