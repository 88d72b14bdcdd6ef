// The lookup component's options: the options window, its checks, the persistence in the
// settings store, and the proxy password's private file.

#include "common/scriptedui.h"
#include "common/testsupport.h"
#include "lookup/cddbsettings.h"
#include "lookup/mbsettings.h"
#include "lookup/widgets/cddboptionswindow.h"
#include "lookup/widgets/passwordstore.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using test::ScriptedUi;

namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QFileDevice::Permissions unixPermissions(const QString& path) {
    // Qt reports the owner bits twice (owner and user); only the owner/group/other ones count.
    return QFile(path).permissions() &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

void setText(QDialog& window, const char* name, const QString& text) {
    auto* edit = window.findChild<QLineEdit*>(name);
    QVERIFY2(edit, name);
    edit->setText(text);
}

} // namespace

class TestCddbOptions : public QObject {
    Q_OBJECT
private slots:
    void init() { QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear(); }

    // Damaged settings read back as the defaults. The options window stores what it shows for a
    // later run, the proxy password apart from the settings in a file only its owner may read.
    void optionsWindowStores() {
        QSettings settings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        settings.setValue("CDDB/Scheme", "gopher");
        settings.setValue("CDDB/Port", "99999");
        settings.setValue("CDDB/OfflineMode", "sometimes");
        settings.setValue("CDDB/Server", "");
        settings.sync();
        const CddbOptions damaged = CddbSettings::load();
        const CddbOptions defaults;
        QCOMPARE((QStringList{damaged.scheme, damaged.server, QString::number(damaged.port)}),
                 (QStringList{defaults.scheme, defaults.server, QString::number(defaults.port)}));
        QCOMPARE(damaged.offlineMode, defaults.offlineMode);

        QTemporaryDir dir;
        ScriptedUi ui;
        const QString secret = dir.path() + "/config/MYAPP/cddb-proxy.secret";
        const PasswordStore store = PasswordStore::privateFile(secret);
        QString password = "stale";
        QVERIFY(store.read(&password)); // nothing stored yet
        QVERIFY(password.isEmpty());
        CddbOptionsWindow window(damaged, store, ui);
        window.findChild<QComboBox*>("cmbScheme")->setCurrentText("http");
        setText(window, "txtServer", "cddb.example.org");
        setText(window, "txtPort", "8880");
        setText(window, "txtEmail", "me@example.org");
        setText(window, "txtProxyName", "proxy.example.org");
        setText(window, "txtProxyPort", "3128");
        setText(window, "txtClientName", "alice");
        setText(window, "txtPassWord", QString("s3cret päss"));
        setText(window, "txtOfflineFolder", dir.path());
        window.findChild<QRadioButton*>("optOfflineInstead")->setChecked(true);
        auto* order = window.findChild<QComboBox*>("cmbLookupOrder");
        QCOMPARE(order->currentText(), QString("CDDB only")); // the default
        order->setCurrentIndex(3);
        setText(window, "txtMbServer", "mb.example.org");
        setText(window, "txtMbPort", "5000");
        window.accept();
        QCOMPARE(window.result(), int(QDialog::Accepted));

        const CddbOptions o = CddbSettings::load();
        QCOMPARE((QStringList{o.scheme, o.server, QString::number(o.port), o.email, o.proxyHost,
                              QString::number(o.proxyPort), o.proxyUser, o.proxyPassword,
                              o.offlineFolder}),
                 (QStringList{"http", "cddb.example.org", "8880", "me@example.org",
                              "proxy.example.org", "3128", "alice", "", dir.path()}));
        QCOMPARE(o.offlineMode, CddbOptions::Offline::Instead);
        const MbOptions mb = MbSettings::load();
        QCOMPARE(mb.order, LookupOrder::MusicBrainzThenCddb);
        QCOMPARE((QStringList{mb.server, QString::number(mb.port)}),
                 (QStringList{"mb.example.org", "5000"}));
        QVERIFY(store.read(&password));
        QCOMPARE(password, QString("s3cret päss"));
        QCOMPARE(unixPermissions(secret), kOwnerOnly);
        settings.sync();
        for (const QString& key : settings.allKeys())
            QVERIFY2(settings.value(key).toString() != password, qPrintable(key));

        // Someone opened the file to everybody: reading closes it again. An empty password
        // removes the file.
        QVERIFY(QFile(secret).setPermissions(kOwnerOnly | QFileDevice::ReadOther));
        QVERIFY(store.read(&password));
        QCOMPARE(unixPermissions(secret), kOwnerOnly);
        QVERIFY(store.write(QString()));
        QVERIFY(!QFile::exists(secret));
    }

    void badValuesKeepTheWindowOpen_data() {
        QTest::addColumn<QStringList>("fieldValueWhy");
        QTest::newRow("server with a path") << QStringList{"txtServer", "evil.org/x", "host name"};
        QTest::newRow("port") << QStringList{"txtPort", "70000", "server port"};
        QTest::newRow("query path") << QStringList{"txtQueryPath", "cddb.cgi", "paths"};
        QTest::newRow("e-mail") << QStringList{"txtEmail", "not-an-address", "e-mail"};
        QTest::newRow("missing offline folder")
            << QStringList{"txtOfflineFolder", "/nonexistent/cddb", "does not exist"};
    }

    void badValuesKeepTheWindowOpen() {
        QFETCH(QStringList, fieldValueWhy);
        const QString why = fieldValueWhy.at(2);
        QTemporaryDir dir;
        ScriptedUi ui;
        CddbOptionsWindow window(CddbOptions{}, PasswordStore::privateFile(dir.path() + "/s"), ui);
        window.findChild<QRadioButton*>("optOfflineBefore")->setChecked(true);
        setText(window, "txtOfflineFolder", dir.path());
        setText(window, fieldValueWhy.at(0).toLatin1().constData(), fieldValueWhy.at(1));
        window.accept();
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QCOMPARE(ui.texts("message").size(), 1);
        QVERIFY2(ui.texts("message").first().contains(why),
                 qPrintable(ui.texts("message").first()));
        QVERIFY(!CddbSettings::exist());
    }
};

QTEST_MAIN(TestCddbOptions)
#include "tst_cddboptions.moc"
