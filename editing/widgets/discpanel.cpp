#include "editing/widgets/discpanel.h"

#include "model/playtables.h"
#include "store/discdata.h"
#include "store/disclist.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

namespace tf {
namespace {

constexpr int kDiscNumberDigits = 3;
constexpr int kEasyListeningEntry = 8;
constexpr int kEroticEntry = 9; // may not be chosen for a disc: the entry above is taken

} // namespace

DiscPanel::DiscPanel(QWidget* parent) : QWidget(parent) {
    m_dno = new QComboBox(this);
    m_dno->setObjectName(QStringLiteral("cmbTextDno"));
    m_dno->setEditable(true);
    m_dno->setInsertPolicy(QComboBox::NoInsert);
    m_dno->setCompleter(nullptr);
    m_dno->installEventFilter(this);
    m_dno->lineEdit()->installEventFilter(this);
    connect(m_dno, &QComboBox::activated, this, &DiscPanel::discChosen);

    m_title1 = new QLineEdit(this);
    m_title1->setObjectName(QStringLiteral("TxtDTitle1"));
    m_title2 = new QLineEdit(this);
    m_title2->setObjectName(QStringLiteral("TxtDTitle2"));
    for (QLineEdit* box : {m_title1, m_title2}) {
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, [this, box](const QString& text) {
            const QString& before = box == m_title1 ? m_title1AtFocus : m_title2AtFocus;
            if (text != before)
                emit edited();
        });
    }

    m_mtype = new QComboBox(this);
    m_mtype->setObjectName(QStringLiteral("cmbTextMType"));
    m_mtype->addItems(playback::audioMusicTypeEntries());
    m_mtype->installEventFilter(this);
    connect(m_mtype, &QComboBox::activated, this, [this](int index) {
        if (index == kEroticEntry)
            m_mtype->setCurrentIndex(kEasyListeningEntry);
        if (m_mtype->currentIndex() != m_mtypeAtFocus)
            emit edited();
    });

    m_ufile = new QListWidget(this);
    m_ufile->setObjectName(QStringLiteral("lstTextUFile"));
    m_ufile->installEventFilter(this);
    setUserFileNames(defaultUserFileNames());
    connect(m_ufile, &QListWidget::itemChanged, this, [this] {
        if (!m_settingValues && userFileByte() != m_ufileAtFocus)
            emit edited();
    });

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_dno, 0, 0);
    layout->addWidget(m_mtype, 0, 1);
    layout->addWidget(m_title1, 1, 0, 1, 2);
    layout->addWidget(m_title2, 2, 0, 1, 2);
    layout->addWidget(m_ufile, 0, 2, 3, 1);
}

// ---- Disc number list ----

void DiscPanel::setDiscItems(const QStringList& items, int selected) {
    const QString shown = m_dno->currentText();
    m_dno->clear();
    m_dno->addItems(items);
    if (selected >= 0)
        m_dno->setCurrentIndex(selected);
    else
        m_dno->setEditText(shown);
}

QString DiscPanel::discText() const {
    return m_dno->currentText();
}

void DiscPanel::showDisc(int disc) {
    QStringList items;
    for (int i = 0; i < m_dno->count(); ++i)
        items.append(m_dno->itemText(i));
    const int index = disclist::findSlotItem(items, QString::number(disc));
    if (index >= 0)
        m_dno->setCurrentIndex(index);
    else
        m_dno->setEditText(disc > 0 ? QString::number(disc) : QString());
}

bool DiscPanel::filterDiscKey(QKeyEvent* event) {
    const int key = event->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit loadKey();
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        emit selectionCleared();
        return false;
    case Qt::Key_Up:
    case Qt::Key_Down:
        emit arrowKey();
        return false;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false; // caret movement, Tab and the like
    if (text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128) {
        const QLineEdit* edit = m_dno->lineEdit();
        if (edit->text().size() - edit->selectedText().size() < kDiscNumberDigits) {
            emit discTyped();
            return false;
        }
    }
    return true; // every other character is dropped
}

// ---- Values ----

quint8 DiscPanel::musicTypeCode() const {
    return discdata::musicTypeFromChoice(qMax(m_mtype->currentIndex(), 0));
}

void DiscPanel::setMusicTypeCode(int code) {
    // Codes beyond the table cannot be shown; they read as "Not Defined".
    const int entry = code > playback::kMusicTypeCount ? 0 : playback::audioMusicTypeIndex(code);
    m_mtype->setCurrentIndex(entry);
    m_mtypeAtFocus = entry;
}

quint8 DiscPanel::userFileByte() const {
    UserFileChecks checks{};
    for (int i = 0; i < kUserFileCount && i < m_ufile->count(); ++i)
        checks[size_t(i)] = m_ufile->item(i)->checkState() == Qt::Checked;
    return UFListindex_byte(checks);
}

void DiscPanel::setUserFileByte(quint8 byte) {
    m_settingValues = true;
    const UserFileChecks checks = checksFromUserFileByte(byte);
    for (int i = 0; i < kUserFileCount && i < m_ufile->count(); ++i)
        m_ufile->item(i)->setCheckState(checks[size_t(i)] ? Qt::Checked : Qt::Unchecked);
    m_settingValues = false;
    m_ufileAtFocus = byte;
}

void DiscPanel::setUserFileNames(const QStringList& names) {
    m_settingValues = true;
    for (int i = 0; i < kUserFileCount; ++i) {
        const QString name = names.value(i, defaultUserFileName(i + 1));
        if (i < m_ufile->count()) {
            m_ufile->item(i)->setText(name);
        } else {
            auto* item = new QListWidgetItem(name, m_ufile);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    m_settingValues = false;
}

QStringList DiscPanel::userFileNames() const {
    QStringList out;
    for (int i = 0; i < m_ufile->count(); ++i)
        out.append(m_ufile->item(i)->text());
    return out;
}

QString DiscPanel::fullTitle() const {
    return m_title1->text();
}

QString DiscPanel::memoryTitle() const {
    return m_title2->text();
}

void DiscPanel::setFullTitle(const QString& text) {
    m_title1->setText(text);
    m_title1AtFocus = text;
}

void DiscPanel::setMemoryTitle(const QString& text) {
    m_title2->setText(text);
    m_title2AtFocus = text;
}

void DiscPanel::clearValues() {
    setMusicTypeCode(0);
    setUserFileByte(0);
    setFullTitle(QString());
    setMemoryTitle(QString());
}

void DiscPanel::rememberFocusValues(QObject* watched) {
    if (watched == m_title1)
        m_title1AtFocus = m_title1->text();
    else if (watched == m_title2)
        m_title2AtFocus = m_title2->text();
    else if (watched == m_mtype)
        m_mtypeAtFocus = m_mtype->currentIndex();
    else if (watched == m_ufile)
        m_ufileAtFocus = userFileByte();
}

bool DiscPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        rememberFocusValues(watched);
    if (event->type() == QEvent::KeyPress && (watched == m_dno || watched == m_dno->lineEdit()))
        return filterDiscKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

} // namespace tf
