#include "lookup/widgets/discinfodialog.h"

#include "lookup/cddbprotocol.h"
#include "lookup/widgets/candidatedialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tf {

namespace {

QLineEdit* lineEdit(const QString& name, const QString& text, bool editable, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setReadOnly(!editable);
    return edit;
}

// What the user typed goes into a record line: no control characters.
QString cleaned(const QString& text) {
    return sanitizeCddbText(text).trimmed();
}

} // namespace

DiscInfoDialog::DiscInfoDialog(const CddbDisc& disc, bool editable, QWidget* parent)
    : QDialog(parent), m_original(disc), m_editable(editable) {
    setObjectName(QStringLiteral("frmDiscInfo"));
    setWindowTitle(editable ? QStringLiteral("Edit Disc Information")
                            : QStringLiteral("Disc Information"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_artist = lineEdit(QStringLiteral("txtArtist"), disc.artist, editable, this);
    m_title = lineEdit(QStringLiteral("txtTitle"), disc.title, editable, this);
    m_year = lineEdit(QStringLiteral("txtYear"), disc.year, editable, this);
    m_genre = lineEdit(QStringLiteral("txtGenre"), disc.genre, editable, this);
    form->addRow(QStringLiteral("Artist:"), m_artist);
    form->addRow(QStringLiteral("Title:"), m_title);
    form->addRow(QStringLiteral("Year:"), m_year);
    form->addRow(QStringLiteral("Genre:"), m_genre);
    // The category is where the record lives in the database: fixed for a record that is
    // there already, chosen by the user for a new disc.
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("cmbCategory"));
    const bool known = cddbCategories().contains(disc.category);
    if (!known)
        m_category->addItem(disc.category);
    m_category->addItems(cddbCategories());
    m_category->setCurrentText(disc.category);
    m_category->setEnabled(editable && !known);
    form->addRow(QStringLiteral("Category:"), m_category);
    layout->addLayout(form);

    m_tracks = new QTableWidget(int(disc.trackTitles.size()), 1, this);
    m_tracks->setObjectName(QStringLiteral("grdTracks"));
    m_tracks->setHorizontalHeaderLabels({QStringLiteral("Track title")});
    m_tracks->horizontalHeader()->setStretchLastSection(true);
    for (int i = 0; i < disc.trackTitles.size(); ++i) {
        auto* item = new QTableWidgetItem(disc.trackTitles.at(i));
        if (!editable)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        m_tracks->setItem(i, 0, item);
    }
    layout->addWidget(m_tracks, 1);

    m_extended = new QPlainTextEdit(disc.extendedData, this);
    m_extended->setObjectName(QStringLiteral("txtExtended"));
    m_extended->setReadOnly(!editable);
    m_extended->setMaximumHeight(90);
    layout->addWidget(m_extended);

    auto* buttons = new QDialogButtonBox(
        editable ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Close, this);
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
        ok->setObjectName(QStringLiteral("cmdOK"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel))
        cancel->setObjectName(QStringLiteral("cmdCancel"));
    if (QPushButton* close = buttons->button(QDialogButtonBox::Close))
        close->setObjectName(QStringLiteral("cmdClose"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 560);
}

CddbDisc DiscInfoDialog::disc() const {
    if (!m_editable)
        return m_original;
    CddbDisc disc = m_original;
    disc.artist = cleaned(m_artist->text());
    disc.title = cleaned(m_title->text());
    disc.year = cleaned(m_year->text());
    disc.genre = cleaned(m_genre->text());
    if (isCddbCategoryWord(m_category->currentText()))
        disc.category = m_category->currentText();
    disc.extendedData = cleaned(m_extended->toPlainText());
    for (int i = 0; i < disc.trackTitles.size(); ++i) {
        const QTableWidgetItem* item = m_tracks->item(i, 0);
        disc.trackTitles[i] = cleaned(item ? item->text() : QString());
    }
    return disc;
}

bool DiscInfoDialog::changed() const {
    if (!m_editable || result() != QDialog::Accepted)
        return false;
    const CddbDisc now = disc();
    const auto trimmed = [](QStringList list) {
        for (QString& s : list)
            s = cleaned(s);
        return list;
    };
    return now.category != m_original.category || now.artist != cleaned(m_original.artist) ||
           now.title != cleaned(m_original.title) || now.year != cleaned(m_original.year) ||
           now.genre != cleaned(m_original.genre) ||
           now.extendedData != cleaned(m_original.extendedData) ||
           now.trackTitles != trimmed(m_original.trackTitles);
}

bool DiscInfoDialog::show(CddbDisc& disc, bool editable, QWidget* parent) {
    DiscInfoDialog dialog(disc, editable, parent);
    dialog.exec();
    if (!dialog.changed())
        return false;
    disc = dialog.disc();
    return true;
}

std::optional<int> WindowLookupChooser::chooseCandidate(const QList<CddbMatch>& matches) {
    return CandidateDialog::choose(matches, m_parent);
}

bool WindowLookupChooser::showDiscInfo(CddbDisc& disc, bool editable) {
    return DiscInfoDialog::show(disc, editable, m_parent);
}

} // namespace tf
