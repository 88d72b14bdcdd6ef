#include "editing/widgets/ufeditor.h"

#include "base/catalogue.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace tf {

UserFileNameEditor::UserFileNameEditor(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("picUFEdit"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);

    auto* layout = new QGridLayout(this);
    auto* title = new QLabel(msg(msgid::UserFileEditTitle), this);
    title->setTextFormat(Qt::PlainText);
    layout->addWidget(title, 0, 0, 1, 2);
    m_quit = new QToolButton(this);
    m_quit->setObjectName(QStringLiteral("cmdUFEQuit"));
    m_quit->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_quit->installEventFilter(this);
    layout->addWidget(m_quit, 0, 2, Qt::AlignRight);

    for (int k = 1; k <= 8; ++k) {
        auto* label = new QLabel(msg(msgid::userFileEditLabel(k)), this);
        label->setTextFormat(Qt::PlainText);
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(k));
        box->setMaxLength(kNameChars);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, &UserFileNameEditor::markChanged);
        m_boxes[size_t(k - 1)] = box;
        layout->addWidget(label, k, 0);
        layout->addWidget(box, k, 1, 1, 2);
    }

    m_save = new QPushButton(msg(msgid::ButtonUpdate), this);
    m_save->setObjectName(QStringLiteral("cmdUFESave"));
    m_end = new QPushButton(msg(msgid::ButtonCancelUpper), this);
    m_end->setObjectName(QStringLiteral("cmdUFEEnd"));
    layout->addWidget(m_save, 9, 1);
    layout->addWidget(m_end, 9, 2);

    connect(m_save, &QPushButton::clicked, this, &UserFileNameEditor::updateClicked);
    connect(m_end, &QPushButton::clicked, this, &UserFileNameEditor::endClicked);
    connect(m_quit, &QToolButton::clicked, this, &UserFileNameEditor::quitClicked);
    clearChanged();
}

void UserFileNameEditor::setNames(const QStringList& names) {
    for (int k = 1; k <= 8; ++k)
        box(k)->setText(names.value(k - 1).left(kNameChars));
    clearChanged();
}

QStringList UserFileNameEditor::names() const {
    QStringList out;
    for (QLineEdit* b : m_boxes)
        out.append(b->text());
    return out;
}

void UserFileNameEditor::clearChanged() {
    m_changed = false;
    m_save->setEnabled(false);
}

void UserFileNameEditor::markChanged() {
    m_changed = true;
    m_save->setEnabled(true);
}

int UserFileNameEditor::boxIndex(QObject* watched) const {
    for (int k = 1; k <= 8; ++k)
        if (box(k) == watched)
            return k;
    return 0;
}

bool UserFileNameEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_quit) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) {
            box(1)->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }
    const int k = boxIndex(watched);
    if (k == 0)
        return QFrame::eventFilter(watched, event);
    QLineEdit* b = box(k);
    switch (event->type()) {
    case QEvent::FocusIn:
        m_textAtFocus = b->text();
        break;
    case QEvent::FocusOut:
        if (b->text() != m_textAtFocus)
            markChanged();
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (k < 8)
                box(k + 1)->setFocus(Qt::OtherFocusReason);
            else if (m_save->isEnabled())
                m_save->setFocus(Qt::OtherFocusReason);
            else
                m_end->setFocus(Qt::OtherFocusReason);
            return true;
        }
        // A full box takes nothing but Enter and Backspace (and caret movement).
        const QString text = key->text();
        if (b->text().size() >= kNameChars && key->key() != Qt::Key_Backspace && !text.isEmpty() &&
            text.at(0).isPrint())
            return true;
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace tf
