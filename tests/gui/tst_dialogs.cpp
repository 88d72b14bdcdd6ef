// The desktop's user interface: message boxes, the error dialog with its countdown and the
// progress dialog with its Cancel button.

#include "base/catalogue.h"
#include "shell/widgets/errordialog.h"
#include "shell/widgets/progressdialog.h"
#include "shell/widgets/widgetui.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
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
        buttons = int(box->standardButtons());
        box->button(button)->click();
    }
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    // The buttons a style offers, the answer each press gives, and the title (the
    // application's when none is given).
    void messageBox() {
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        const struct {
            Style style;
            QMessageBox::StandardButton press;
            Answer answer;
            int buttons;
            QString title;
        } rows[] = {
            {Style::YesNo, QMessageBox::Yes, Answer::Yes, yesNo, msg(368)},
            {Style::YesNo, QMessageBox::No, Answer::No, yesNo, msg(368)},
            {Style::YesNoCancel, QMessageBox::Cancel, Answer::Cancel, yesNo | QMessageBox::Cancel,
             msg(368)},
            {Style::OkExclamation, QMessageBox::Ok, Answer::Ok, QMessageBox::Ok, QString()},
        };
        WidgetUi ui;
        for (const auto& row : rows) {
            BoxPresser presser;
            presser.press(row.press);
            QCOMPARE(int(ui.messageBox(msg(303) + '\r' + msg(304), row.title, row.style)),
                     int(row.answer));
            QCOMPARE(presser.title, row.title.isEmpty() ? QStringLiteral("TrackFen") : row.title);
            QCOMPARE(presser.text, msg(303) + '\n' + msg(304));
            QCOMPARE(presser.buttons, row.buttons);
        }
    }

    // A countdown closes its dialog; one without a countdown waits for OK all the while.
    void errorDialogCountsDownAndCloses() {
        QWidget owner;
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
        int waiting = 0;
        auto* untimed = new ErrorDialog(msg(336), msg(337), 0);
        connect(untimed, &ErrorDialog::closed, this, [&waiting] { ++waiting; });
        untimed->show();
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

    // Without a callback the progress dialog has no Cancel and cannot be dismissed; with one,
    // Cancel calls it back once.
    void progressDialogAndItsCancel() {
        WidgetUi ui;
        UserInterface::Progress progress;
        progress.caption = msg(314);
        progress.maximum = 200;
        ui.showProgress(progress);
        QVERIFY(!ui.progressDialog()->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
        QTest::keyClick(ui.progressDialog(), Qt::Key_Escape);
        QVERIFY(ui.progressDialog()->isVisible());
        ui.closeProgress();

        int cancelled = 0;
        progress.value = 3;
        progress.cancel = [&cancelled] {
            ++cancelled;
        };
        ui.showProgress(progress);
        ProgressDialog* dialog = ui.progressDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), msg(314));
        QCOMPARE(dialog->value(), 3);
        ui.setProgressValue(250); // beyond the maximum: held at it
        QCOMPARE(dialog->value(), 200);

        auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
        QVERIFY(cancel && cancel->isVisible());
        cancel->click();
        cancel->click();
        QCOMPARE(cancelled, 1);
        QVERIFY(!dialog->isVisible());
        ui.closeProgress();
        QTRY_VERIFY(!ui.progressDialog());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
