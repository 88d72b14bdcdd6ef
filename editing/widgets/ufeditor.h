#pragma once

#include <QFrame>
#include <QStringList>

#include <array>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace tf {

// The user-file-name editor `picUFEdit`: eight name boxes (`Text1_1` .. `Text1_8`, labelled
// "FILE 1:" .. "FILE 8:"), `cmdUFESave` (UPDATE), `cmdUFEEnd` (CANCEL) and the close button
// `cmdUFEQuit`. It only edits; sending the names is the owner's, through sendRequested().
class UserFileNameEditor : public QFrame {
    Q_OBJECT
public:
    static constexpr int kNameChars = 25;

    explicit UserFileNameEditor(QWidget* parent = nullptr);

    // Fills the boxes, clears the changed flag and disables UPDATE.
    void setNames(const QStringList& names);
    QStringList names() const;
    bool changed() const { return m_changed; }
    void clearChanged();

    QLineEdit* box(int k) const { return m_boxes[size_t(k - 1)]; } // k = 1..8
    QPushButton* saveButton() const { return m_save; }
    QPushButton* endButton() const { return m_end; }
    QToolButton* quitButton() const { return m_quit; }

signals:
    void updateClicked(); // cmdUFESave
    void endClicked();    // cmdUFEEnd
    void quitClicked();   // cmdUFEQuit

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void markChanged();
    int boxIndex(QObject* watched) const;

    std::array<QLineEdit*, 8> m_boxes{};
    QPushButton* m_save = nullptr;
    QPushButton* m_end = nullptr;
    QToolButton* m_quit = nullptr;
    bool m_changed = false;
    QString m_textAtFocus;
};

} // namespace tf
