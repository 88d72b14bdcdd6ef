#pragma once

#include <QFrame>

class QListWidget;
class QPushButton;

namespace tf {

struct AppContext;
class StatusMessenger;
class AudioTab;

// Music-type play set-up: play only the discs of one genre, or clear that play mode. The
// check marks show the genres present in the disc list and cannot be changed by hand.
class MusicTypePanel : public QFrame {
    Q_OBJECT
public:
    MusicTypePanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab,
                   QWidget* parent = nullptr);

    bool isOpen() const { return m_open; }
    void open();
    void quit();
    void closeSilently();
    void set();
    void clear();
    // Marks the genres of the discs in the disc list.
    void markGenresPresent();

private:
    void entryChosen(int row);

    AppContext& m_ctx;
    StatusMessenger& m_status;
    AudioTab& m_tab;
    QListWidget* m_list = nullptr;
    QPushButton* m_set = nullptr;
    QPushButton* m_clear = nullptr;
    bool m_open = false;
    bool m_suppress = false;
};

// User-file play set-up: play only the discs of one user file, or clear that play mode. The
// check marks show the user files that hold discs and cannot be changed by hand.
class UserFilePanel : public QFrame {
    Q_OBJECT
public:
    UserFilePanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab,
                  QWidget* parent = nullptr);

    bool isOpen() const { return m_open; }
    void open();
    void quit();
    void closeSilently();
    void set();
    void clear();
    // Marks the user files that hold at least one disc of the disc list.
    void markUserFilesInUse();

private:
    void entryChosen(int row);

    AppContext& m_ctx;
    StatusMessenger& m_status;
    AudioTab& m_tab;
    QListWidget* m_list = nullptr;
    QPushButton* m_set = nullptr;
    QPushButton* m_clear = nullptr;
    bool m_open = false;
    bool m_suppress = false;
};

} // namespace tf
