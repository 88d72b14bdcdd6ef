// The now-playing area reads under any desktop theme: every text on it, the red "ON" and white
// "OFF" indicators included, stands out from what is behind it by at least 4.5:1.

#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "store/config.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace tf;

namespace {

double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Tab {
    QTemporaryDir dir;
    test::ScriptedUi ui;
    Configuration config{dir.path()};
    NullLookupService lookup;
    Link link{ui};
    AppContext ctx{link, config, ui, lookup};
    InfoLines lines{link};
    AudioTab tab{ctx, lines};
};

// Every text widget on the panel against the colour it is drawn on; empty when all read.
QStringList unreadable(QFrame* panel) {
    QStringList found;
    const QColor behind = panel->palette().color(QPalette::Window);
    auto check = [&](QWidget* w, QPalette::ColorRole fore, const QColor& back) {
        for (const auto group : {QPalette::Active, QPalette::Disabled}) {
            const double ratio = contrast(w->palette().color(group, fore), back);
            if (ratio < 4.5)
                found << QStringLiteral("%1 (%2): %3:1")
                             .arg(w->objectName())
                             .arg(group)
                             .arg(ratio, 0, 'f', 2);
        }
    };
    for (QLabel* w : panel->findChildren<QLabel*>())
        check(w, QPalette::WindowText, behind);
    for (QLineEdit* w : panel->findChildren<QLineEdit*>())
        check(w, QPalette::Text, w->palette().color(QPalette::Base));
    for (QComboBox* w : panel->findChildren<QComboBox*>())
        check(w, QPalette::ButtonText, w->palette().color(QPalette::Button));
    for (QListWidget* w : panel->findChildren<QListWidget*>())
        check(w, QPalette::Text, w->palette().color(QPalette::Base));
    return found;
}

} // namespace

class TestNowPlaying : public QObject {
    Q_OBJECT
private slots:
    void everyTextReads_data() {
        QTest::addColumn<bool>("darkTheme");
        QTest::newRow("light desktop") << false;
        QTest::newRow("dark desktop") << true;
    }

    void everyTextReads() {
        QFETCH(bool, darkTheme);
        const QPalette desktop = QApplication::palette();
        if (darkTheme) {
            QPalette dark = desktop;
            dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
            dark.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10)); // a theme's worst
            dark.setColor(QPalette::Base, QColor(0x30, 0x30, 0x30));
            QApplication::setPalette(dark);
        }
        Tab t;
        auto* panel = t.tab.findChild<QFrame*>(QStringLiteral("fraNowPlaying"));
        QVERIFY(panel);
        // The indicators, the play mode, music type, disc, track and program step are on it.
        for (const char* name : {"lbRandom", "lbRepeatONOFF", "lbAudioPLAYMODE", "lbMtype",
                                 "txtDISC", "cmbDTTL", "txtTRACK", "cmbTTTL", "txtPNO"})
            QVERIFY2(panel->findChild<QWidget*>(QLatin1String(name)), name);
        LinkTestAccess::setModeCode(t.link, 1);
        t.tab.PrepareAudioTab();
        t.tab.StatusDisplayTick();
        QVERIFY2(unreadable(panel).isEmpty(), qPrintable(unreadable(panel).join("; ")));
        // Both indicators lit: red on the panel.
        LinkTestAccess::play(t.link).PlayMode = 1;
        LinkTestAccess::play(t.link).PlayRepeat = 1;
        t.tab.StatusDisplayTick(); // a mode change is drawn alone
        t.tab.StatusDisplayTick();
        for (const char* name : {"lbRandom", "lbRepeatONOFF"})
            QCOMPARE(panel->findChild<QLabel*>(QLatin1String(name))
                         ->palette()
                         .color(QPalette::WindowText),
                     QColor(0xff, 0x00, 0x00));
        QVERIFY2(unreadable(panel).isEmpty(), qPrintable(unreadable(panel).join("; ")));
        QApplication::setPalette(desktop);
    }
};

QTEST_MAIN(TestNowPlaying)
#include "tst_nowplaying.moc"
