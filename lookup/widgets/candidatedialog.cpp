#include "lookup/widgets/candidatedialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tf {

namespace {
enum Column { kCategory, kArtist, kTitle, kMatch, kSource, kDetails, kColumns };
constexpr int kIndexRole = Qt::UserRole;
} // namespace

CandidateDialog::CandidateDialog(const QList<CddbMatch>& matches, QWidget* parent)
    : QDialog(parent), m_count(int(matches.size())) {
    setObjectName(QStringLiteral("frmCandidates"));
    setWindowTitle(QStringLiteral("Choose the disc"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("The database knows several discs that could be this one. Choose one:"),
        this));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstCandidates"));
    m_list->setColumnCount(kColumns);
    m_list->setHeaderLabels({QStringLiteral("Category"), QStringLiteral("Artist"),
                             QStringLiteral("Title"), QStringLiteral("Match"),
                             QStringLiteral("Source"), QStringLiteral("Release")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    for (int i = 0; i < matches.size(); ++i) {
        const CddbMatch& m = matches.at(i);
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(kCategory, m.category);
        item->setText(kArtist, m.artist);
        item->setText(kTitle, m.title);
        item->setText(kMatch, m.exact ? QString() : inexactMark());
        item->setText(kSource, m.source.isEmpty() ? QStringLiteral("CDDB") : m.source);
        item->setText(kDetails, m.details);
        item->setData(0, kIndexRole, i);
    }
    auto* none = new QTreeWidgetItem(m_list);
    none->setText(kCategory, noneOfTheseText());
    none->setFirstColumnSpanned(true);
    none->setData(0, kIndexRole, -1);
    m_list->setCurrentItem(m_list->topLevelItem(0));
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    QPushButton* noneButton = buttons->addButton(noneOfTheseText(), QDialogButtonBox::RejectRole);
    noneButton->setObjectName(QStringLiteral("cmdNone"));
    layout->addWidget(buttons);

    connect(ok, &QPushButton::clicked, this, &CandidateDialog::acceptCurrent);
    connect(noneButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, this, &CandidateDialog::acceptCurrent);
    resize(640, 320);
}

void CandidateDialog::acceptCurrent() {
    const QTreeWidgetItem* item = m_list->currentItem();
    const int index = item ? item->data(0, kIndexRole).toInt() : -1;
    if (index < 0 || index >= m_count) {
        m_choice.reset();
        reject();
        return;
    }
    m_choice = index;
    accept();
}

std::optional<int> CandidateDialog::choice() const {
    return result() == QDialog::Accepted ? m_choice : std::nullopt;
}

std::optional<int> CandidateDialog::choose(const QList<CddbMatch>& matches, QWidget* parent) {
    CandidateDialog dialog(matches, parent);
    dialog.exec();
    return dialog.choice();
}

} // namespace tf
