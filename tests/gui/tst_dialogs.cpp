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
        QTest::addColumn<QString>("title");
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        auto row = [](const char* name, Style style, int press, Answer answer, int buttons,
                      const QString& title = msg(368)) {
            QTest::newRow(name) << int(style) << press << int(answer) << buttons << title;
        };
        row("ok", Style::Ok, QMessageBox::Ok, Answer::Ok, QMessageBox::Ok);
        row("yes", Style::YesNo, QMessageBox::Yes, Answer::Yes, yesNo);
        row("no", Style::YesNo, QMessageBox::No, Answer::No, yesNo);
        row("cancel", Style::YesNoCancel, QMessageBox::Cancel, Answer::Cancel,
            yesNo | QMessageBox::Cancel);
        // Without a title the box takes the application's.
        row("no title", Style::OkExclamation, QMessageBox::Ok, Answer::Ok, QMessageBox::Ok,
            QString());
    }

    void messageBox() {
        QFETCH(int, style);
        QFETCH(int, press);
        QFETCH(int, answer);
        QFETCH(int, buttons);
        QFETCH(QString, title);
        WidgetUi ui;
        BoxPresser presser;
        presser.press(QMessageBox::StandardButton(press));
        QCOMPARE(int(ui.messageBox(msg(303) + '\r' + msg(304), title, Style(style))), answer);
        QCOMPARE(presser.title, title.isEmpty() ? QStringLiteral("TrackFen") : title);
        QCOMPARE(presser.text, msg(303) + '\n' + msg(304));
        QCOMPARE(presser.buttons, buttons);
        const bool warns = Style(style) == Style::OkExclamation;
        QCOMPARE(presser.icon, warns ? QMessageBox::Warning : QMessageBox::NoIcon);
    }

    // A countdown closes its dialog; one without a countdown waits for OK all the while.
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
        int waiting = 0;
        auto* untimed = new ErrorDialog(msg(336), msg(337), 0);
        connect(untimed, &ErrorDialog::closed, this, [&waiting] { ++waiting; });
        untimed->show();
        QCOMPARE(untimed->countdownText(), QString());
        QVERIFY(untimed->findChild<QLabel*>(QStringLiteral("lbCountdown"))->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->countdownText(), QStringLiteral("1 Seconds Remaining"),
                                  3000);
        QCOMPARE(closed, 0);
        QTRY_COMPARE_WITH_TIMEOUT(closed, 1, 3000);
        QTRY_VERIFY(!owner.findChild<ErrorDialog*>(QStringLiteral("dlgError")));
        QCOMPARE(waiting, 0);
        untimed->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        QCOMPARE(waiting, 1);
        QCOMPARE(closed, 1); // closed once
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
