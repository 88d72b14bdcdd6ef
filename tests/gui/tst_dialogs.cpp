// The desktop's user interface: message boxes, the error dialog with its countdown and the
// progress dialog with its Cancel button.

#include "base/catalogue.h"
#include "shell/widgets/errordialog.h"
#include "shell/widgets/progressdialog.h"
#include "shell/widgets/widgetui.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tf;

namespace {

using Answer = UserInterface::Answer;
using Style = UserInterface::Style;

// Presses `button` on the next message box that opens, and remembers what it showed.
struct BoxPresser {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;

    void press(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [this, button] { tryPress(button); });
    }

private:
    void tryPress(QMessageBox::StandardButton button) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [this, button] { tryPress(button); });
            return;
        }
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->standardButtons());
        box->button(button)->click();
    }
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void messageBox_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("buttons");
        QTest::newRow("ok") << int(Style::Ok) << int(QMessageBox::Ok) << int(Answer::Ok)
                            << int(QMessageBox::Ok);
        QTest::newRow("yes") << int(Style::YesNo) << int(QMessageBox::Yes) << int(Answer::Yes)
                             << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("no") << int(Style::YesNo) << int(QMessageBox::No) << int(Answer::No)
                            << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("cancel") << int(Style::YesNoCancel) << int(QMessageBox::Cancel)
                                << int(Answer::Cancel)
                                << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }

    void messageBox() {
        QFETCH(int, style);
        QFETCH(int, press);
        QFETCH(int, answer);
        QFETCH(int, buttons);
        WidgetUi ui;
        BoxPresser presser;
        presser.press(QMessageBox::StandardButton(press));
        QCOMPARE(int(ui.messageBox(msg(303) + '\r' + msg(304), msg(368), Style(style))), answer);
        QCOMPARE(presser.title, msg(368));
        QCOMPARE(presser.text, msg(303) + '\n' + msg(304));
        QCOMPARE(presser.buttons, buttons);
        QCOMPARE(presser.icon, QMessageBox::NoIcon);
    }

    void messageBoxWithoutTitleUsesApplicationTitle() {
        WidgetUi ui;
        BoxPresser presser;
        presser.press(QMessageBox::Ok);
        ui.messageBox(msg(302), QString(), Style::OkExclamation);
        QCOMPARE(presser.title, QStringLiteral("TrackFen"));
        QCOMPARE(presser.icon, QMessageBox::Warning);
    }

    void errorDialogCountsDownAndCloses() {
        QWidget owner;
        owner.setGeometry(100, 100, 800, 600);
        owner.show();
        WidgetUi ui;
        ui.setOwner(&owner);
        int closed = 0;
        ui.showErrorDialog(msg(336), msg(337), 2, [&closed] { ++closed; });
        auto* dialog = owner.findChild<ErrorDialog*>(QStringLiteral("dlgError"));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->windowTitle(), msg(337));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lbMessage"))->text(), msg(336));
        QCOMPARE(dialog->countdownText(), QStringLiteral("2 Seconds Remaining"));
        // Centred on the owner.
        QVERIFY(qAbs(dialog->frameGeometry().center().x() - owner.frameGeometry().center().x()) <=
                4);
        QTRY_COMPARE_WITH_TIMEOUT(dialog->countdownText(), QStringLiteral("1 Seconds Remaining"),
                                  3000);
        QCOMPARE(closed, 0);
        QTRY_COMPARE_WITH_TIMEOUT(closed, 1, 3000);
        QTRY_VERIFY(!owner.findChild<ErrorDialog*>(QStringLiteral("dlgError")));
        QTest::qWait(50);
        QCOMPARE(closed, 1);
    }

    void errorDialogWithoutCountdownWaitsForOk() {
        int closed = 0;
        auto* dialog = new ErrorDialog(msg(336), msg(337), 0);
        connect(dialog, &ErrorDialog::closed, this, [&closed] { ++closed; });
        dialog->show();
        QCOMPARE(dialog->countdownText(), QString());
        QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("lbCountdown"))->isHidden());
        QTest::qWait(1200);
        QCOMPARE(closed, 0);
        dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        QCOMPARE(closed, 1);
    }

    void countdownText_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("3") << 3 << QStringLiteral("3 Seconds Remaining");
        QTest::newRow("1") << 1 << QStringLiteral("1 Seconds Remaining");
    }

    void countdownText() {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(ErrorDialog::countdownTextFor(seconds), text);
    }

    void progressCancelCallsBackOnce() {
        WidgetUi ui;
        int cancelled = 0;
        UserInterface::Progress progress;
        progress.caption = msg(314);
        progress.info = msg(360);
        progress.maximum = 200;
        progress.value = 3;
        progress.cancel = [&cancelled] {
            ++cancelled;
        };
        ui.showProgress(progress);
        ProgressDialog* dialog = ui.progressDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->objectName(), QStringLiteral("dlgProg"));
        QCOMPARE(dialog->windowTitle(), msg(314));
        QCOMPARE(dialog->findChild<QProgressBar*>()->maximum(), 200);
        QCOMPARE(dialog->value(), 3);
        ui.setProgressValue(250); // beyond the maximum: held at it
        QCOMPARE(dialog->value(), 200);
        ui.setProgressInfo(QStringLiteral("next"));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lbInfo"))->text(),
                 QStringLiteral("next"));

        auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
        QVERIFY(cancel && cancel->isVisible());
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        cancel->click();
        cancel->click();
        QCOMPARE(cancelled, 1);
        QVERIFY(!dialog->isVisible());
        ui.closeProgress();
        QTRY_VERIFY(!ui.progressDialog());
    }

    void progressWithoutCancelHasNoButton() {
        WidgetUi ui;
        UserInterface::Progress progress;
        progress.caption = msg(314);
        progress.maximum = 10;
        ui.showProgress(progress);
        ProgressDialog* dialog = ui.progressDialog();
        QVERIFY(!dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
        QVERIFY(!dialog->cancellable());
        QTest::keyClick(dialog, Qt::Key_Escape); // cannot be dismissed by the user
        QVERIFY(dialog->isVisible());
        ui.closeProgress();
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
