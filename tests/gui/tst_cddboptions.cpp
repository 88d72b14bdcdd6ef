// The lookup component's options: the options window, their persistence in the settings
// store, and the proxy password's private file.

#include "common/scriptedui.h"
#include "common/testsupport.h"
#include "lookup/cddbsettings.h"
#include "lookup/mbsettings.h"
#include "lookup/widgets/cddboptionswindow.h"
#include "lookup/widgets/passwordstore.h"

#include <QApplication>
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

    void passwordFileIsPrivate() {
        QTemporaryDir dir;
        const QString path = dir.path() + "/config/MYAPP/cddb-proxy.secret";
        const PasswordStore store = PasswordStore::privateFile(path);
        QString read = "stale";
        QVERIFY(store.read(&read)); // nothing stored yet
        QVERIFY(read.isEmpty());

        for (const QString& password : {QString("s3cret päss"), QString("second")}) {
            QVERIFY(store.write(password));
            QCOMPARE(unixPermissions(path), kOwnerOnly);
            QVERIFY(store.read(&read));
            QCOMPARE(read, password);
        }

        // Someone opened the file to everybody: reading closes it again.
        QVERIFY(QFile(path).setPermissions(kOwnerOnly | QFileDevice::ReadOther));
        QVERIFY(store.read(&read));
        QCOMPARE(unixPermissions(path), kOwnerOnly);

        QVERIFY(store.write(QString())); // an empty password removes the file
        QVERIFY(!QFile::exists(path));
    }

    void optionsWindowStores() {
        QTemporaryDir dir;
        ScriptedUi ui;
        const QString secret = dir.path() + "/cddb-proxy.secret";
        CddbOptionsWindow window(CddbSettings::load(), PasswordStore::privateFile(secret), ui);
        window.findChild<QComboBox*>("cmbScheme")->setCurrentText("http");
        setText(window, "txtServer", "cddb.example.org");
        setText(window, "txtPort", "8880");
        setText(window, "txtEmail", "me@example.org");
        setText(window, "txtProxyName", "proxy.example.org");
        setText(window, "txtProxyPort", "3128");
        setText(window, "txtClientName", "alice");
        setText(window, "txtPassWord", "pw");
        setText(window, "txtOfflineFolder", dir.path());
        window.findChild<QRadioButton*>("optOfflineInstead")->setChecked(true);
        auto* order = window.findChild<QComboBox*>("cmbLookupOrder");
        QCOMPARE(order->currentText(), QString("CDDB only")); // the default
        order->setCurrentIndex(3);
        setText(window, "txtMbServer", "mb.example.org");
        setText(window, "txtMbPort", "5000");
        window.accept();
        QCOMPARE(window.result(), int(QDialog::Accepted));

        // A later run reads them back; the password is not in the settings file.
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
        QString password;
        QVERIFY(PasswordStore::privateFile(secret).read(&password));
        QCOMPARE(password, QString("pw"));
        QSettings settings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        for (const QString& key : settings.allKeys())
            QVERIFY2(settings.value(key).toString() != "pw", qPrintable(key));
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

    void damagedSettingsFallBackToDefaults() {
        QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        s.setValue("CDDB/Scheme", "gopher");
        s.setValue("CDDB/Port", "99999");
        s.setValue("CDDB/OfflineMode", "sometimes");
        s.setValue("CDDB/Server", "");
        s.sync();
        const CddbOptions o = CddbSettings::load();
        const CddbOptions defaults;
        QCOMPARE((QStringList{o.scheme, o.server, QString::number(o.port)}),
                 (QStringList{defaults.scheme, defaults.server, QString::number(defaults.port)}));
        QCOMPARE(o.offlineMode, defaults.offlineMode);
    }
};

QTEST_MAIN(TestCddbOptions)
#include "tst_cddboptions.moc"
