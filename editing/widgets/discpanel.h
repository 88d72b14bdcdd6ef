#pragma once

#include "store/userfiles.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace tf {

// The disc-level controls of the titles tab: the disc number list `cmbTextDno`, the disc
// titles `TxtDTitle1` (PC side) and `TxtDTitle2` (changer memory), the music type
// `cmbTextMType` and the user-file check list `lstTextUFile`. It enforces their input rules
// and reports user edits; the tab decides what an edit means.
class DiscPanel : public QWidget {
    Q_OBJECT
public:
    explicit DiscPanel(QWidget* parent = nullptr);

    QComboBox* discList() const { return m_dno; }
    QLineEdit* fullTitleBox() const { return m_title1; }
    QLineEdit* memoryTitleBox() const { return m_title2; }
    QComboBox* musicTypeList() const { return m_mtype; }
    QListWidget* userFileList() const { return m_ufile; }

    // ---- Disc number list ----
    void setDiscItems(const QStringList& items, int selected);
    // The text shown, which is what a load or reload takes.
    QString discText() const;
    // Shows disc n: its item when the list has one, otherwise the bare number.
    void showDisc(int disc);

    // ---- Disc-level values ----
    // Music type as the changer and the master file code it: 0 for "Not Defined".
    quint8 musicTypeCode() const;
    void setMusicTypeCode(int code);
    quint8 userFileByte() const;
    void setUserFileByte(quint8 byte);
    // The eight names as items 0..7, keeping the check marks.
    void setUserFileNames(const QStringList& names);
    QStringList userFileNames() const;
    QString fullTitle() const;
    QString memoryTitle() const;
    void setFullTitle(const QString& text);
    void setMemoryTitle(const QString& text);

    // Music type to entry 0, every user file unchecked, both titles empty.
    void clearValues();

signals:
    void edited();           // a user edit made a value differ from its value at focus-in
    void loadKey();          // Enter in the disc number list
    void selectionCleared(); // Backspace or Delete in the disc number list
    void arrowKey();         // Up or Down in the disc number list
    void discChosen();       // an item of the disc number list was chosen
    void discTyped();        // a digit was typed into the disc number list

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool filterDiscKey(QKeyEvent* event);
    void rememberFocusValues(QObject* watched);

    QComboBox* m_dno = nullptr;
    QLineEdit* m_title1 = nullptr;
    QLineEdit* m_title2 = nullptr;
    QComboBox* m_mtype = nullptr;
    QListWidget* m_ufile = nullptr;

    // Values at focus-in (or at the last load) that an edit is compared with.
    QString m_title1AtFocus;
    QString m_title2AtFocus;
    int m_mtypeAtFocus = 0;
    quint8 m_ufileAtFocus = 0;
    bool m_settingValues = false;
};

} // namespace tf
