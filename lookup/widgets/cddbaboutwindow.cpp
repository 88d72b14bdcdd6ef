#include "lookup/widgets/cddbaboutwindow.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tf {

QStringList CddbAboutWindow::lines(const CddbOptions& options) {
    QStringList out;
    out << QStringLiteral("%1 CDDB client %2")
               .arg(QLatin1String(kCddbClientName), QLatin1String(kCddbClientVersion));
    out << QStringLiteral("CDDB protocol level %1 over HTTP and HTTPS").arg(kCddbProtocolLevel);
    const QUrl server = cddbSubmitUrl(options).adjusted(QUrl::RemovePath | QUrl::RemoveQuery);
    if (options.offlineMode == CddbOptions::Offline::Instead && options.usesOffline())
        out << QStringLiteral("Server: not used");
    else
        out << QStringLiteral("Server: %1").arg(server.toString());
    const QString folder = QDir::toNativeSeparators(options.offlineFolder);
    if (!options.usesOffline())
        out << QStringLiteral("Offline database: not used");
    else if (options.offlineMode == CddbOptions::Offline::Before)
        out << QStringLiteral("Offline database: %1, consulted before the server").arg(folder);
    else
        out << QStringLiteral("Offline database: %1, used instead of the server").arg(folder);
    out << (options.email.isEmpty()
                ? QStringLiteral("Submissions: enter your e-mail address in the options first")
                : QStringLiteral("Submissions are sent as %1").arg(options.email));
    return out;
}

CddbAboutWindow::CddbAboutWindow(const CddbOptions& options, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCddbAbout"));
    setWindowTitle(QStringLiteral("About CDDB"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(lines(options).join(QLatin1Char('\n')), this);
    text->setObjectName(QStringLiteral("lbAbout"));
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace tf
