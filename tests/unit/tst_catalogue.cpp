#include "base/catalogue.h"
#include "common/testsupport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace tf;

namespace {

// Literal message ids used in source text: msg(N), statusText(N) and ShowStatusMessage(tab, N)
// (the last two name status code N, message 900 + N). Each hit is "id@line".
QList<QPair<int, int>> literalMessageIds(const QString& source) {
    static const QRegularExpression msgCall(QStringLiteral(R"(\bmsg\(\s*(\d+)\s*\))"));
    static const QRegularExpression statusCall(
        QStringLiteral(R"(\b(?:statusText\(|ShowStatusMessage\(\s*[^,()]+,)\s*(\d+)\s*\))"));
    QList<QPair<int, int>> hits;
    auto lineOf = [&](qsizetype offset) {
        return int(source.left(offset).count(u'\n')) + 1;
    };
    for (auto it = msgCall.globalMatch(source); it.hasNext();) {
        const auto m = it.next();
        hits.append({m.captured(1).toInt(), lineOf(m.capturedStart())});
    }
    for (auto it = statusCall.globalMatch(source); it.hasNext();) {
        const auto m = it.next();
        hits.append({900 + m.captured(1).toInt(), lineOf(m.capturedStart())});
    }
    return hits;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    // The compiled-in resource is the checked-in file, byte for byte.
    void resourceMatchesSourceFile() {
        QVERIFY2(catalogueProblems().isEmpty(), qPrintable(catalogueProblems().join(u'\n')));
        QVERIFY(catalogueIds().size() > 150);
        const QByteArray source =
            test::readAll(test::sourcePath(QStringLiteral("resources/catalogue.tsv")));
        QVERIFY(!source.isEmpty());
        QFile resource(QStringLiteral(":/catalogue.tsv"));
        QVERIFY(resource.open(QIODevice::ReadOnly));
        QCOMPARE(resource.readAll(), source);
    }

    // Every constant declared in the header names an existing message (scanned from the header, so
    // a constant added without its text is caught).
    void namedConstantsExist() {
        const QString header =
            QString::fromUtf8(test::readAll(test::sourcePath(QStringLiteral("base/catalogue.h"))));
        static const QRegularExpression constant(QStringLiteral(R"(constexpr int (\w+) = (\d+);)"));
        int count = 0;
        QSet<int> seen;
        for (auto it = constant.globalMatch(header); it.hasNext(); ++count) {
            const auto m = it.next();
            const int id = m.captured(2).toInt();
            QVERIFY2(hasMessage(id), qPrintable(m.captured(1)));
            QVERIFY2(!seen.contains(id),
                     qPrintable(m.captured(1) + QStringLiteral(" reuses an id")));
            seen.insert(id);
        }
        QVERIFY(count > 50);
    }

    void missingIdGivesMarker() {
        // What msg() shows for an id the catalogue lacks, once past the debug build's assertion.
        QTest::ignoreMessage(QtCriticalMsg, "message catalogue: no message 341");
        QCOMPARE(catalogueText(341), QStringLiteral("[missing message 341]"));
        QCOMPARE(catalogueText(msgid::ApplicationTitle), msg(msgid::ApplicationTitle));
    }

    void parseProblems_data() {
        QTest::addColumn<QByteArray>("tsv");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<int>("goodTexts");
        QTest::newRow("missing tab") << QByteArray("300 Hello\n301\tok\n") << "line 1: no TAB" << 1;
        // A sign or a blank fails the same digit check as a letter.
        QTest::newRow("letters in id")
            << QByteArray("3a0\tHello\n") << "line 1: bad id \"3a0\"" << 0;
        QTest::newRow("empty id") << QByteArray("\tHello\n") << "bad id \"\"" << 0;
        QTest::newRow("six digits") << QByteArray("000300\tHello\n") << "bad id \"000300\"" << 0;
        QTest::newRow("id too large") << QByteArray("70000\tHello\n") << "bad id \"70000\"" << 0;
        QTest::newRow("duplicate id") << QByteArray("300\tA\n#\n300\tB\n")
                                      << "line 3: id 300 defined again (first on line 1)" << 1;
        QTest::newRow("crlf") << QByteArray("300\tA\r\n301\tB\n") << "line 1: carriage return" << 1;
        QTest::newRow("empty text") << QByteArray("300\t\n") << "id 300: empty text" << 0;
        QTest::newRow("second tab")
            << QByteArray("300\tA\tB\n") << "id 300: more than one TAB" << 0;
        QTest::newRow("bad utf-8")
            << QByteArray("300\tA\xff\n") << "id 300: text is not valid UTF-8" << 0;
    }

    void parseProblems() {
        QFETCH(QByteArray, tsv);
        QFETCH(QString, problem);
        QFETCH(int, goodTexts);
        const CatalogueParseResult parsed = parseCatalogue(tsv);
        QCOMPARE(parsed.problems.size(), 1);
        QVERIFY2(parsed.problems.first().contains(problem), qPrintable(parsed.problems.first()));
        QCOMPARE(parsed.texts.size(), goodTexts);
    }

    void parseKeepsTextsVerbatim() {
        const QByteArray tsv =
            "# comment\n\n65535\tLast\n7\tNo  \n8\t  lead # not a comment\n9\t\xc3\xa9t\xc3\xa9";
        const CatalogueParseResult parsed = parseCatalogue(tsv);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(u'\n')));
        QCOMPARE(parsed.texts.size(), 4);
        QCOMPARE(parsed.texts.value(65535), QStringLiteral("Last")); // five digits, the largest id
        QCOMPARE(parsed.texts.value(7), QStringLiteral("No  "));
        QCOMPARE(parsed.texts.value(8), QStringLiteral("  lead # not a comment"));
        QCOMPARE(parsed.texts.value(9), QString::fromUtf8("\xc3\xa9t\xc3\xa9")); // no final LF
    }

    // Product code names every message id (msgid::, playback::status::); a bare number is easy to
    // get wrong and hard to find again. Report each one, and say when it is not even in the
    // catalogue (a debug build would stop on it at run time).
    void sourceUsesNamedIds() {
        const QStringList folders = QStringLiteral("base model store link operations portability "
                                                   "lookup playback editing shell ctl")
                                        .split(u' ');
        // The scanner finds literal ids and only those.
        QList<QPair<int, int>> sample =
            literalMessageIds("tf::msg( 337 ); statusText(7);\nShowStatusMessage(kAudioTab, 23); "
                              "msg(msgid::DiscWasSent); "
                              "msg(900 + code); m_msg(5); hasMessage(12)");
        QCOMPARE(sample, (QList<QPair<int, int>>{{337, 1}, {907, 1}, {923, 2}}));
        QStringList literal;
        int files = 0;
        for (const QString& folder : folders) {
            QDirIterator it(test::sourcePath(folder),
                            {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                ++files;
                const QString source = QString::fromUtf8(test::readAll(path));
                for (const auto& [id, line] : literalMessageIds(source))
                    literal << QStringLiteral("%1:%2: message %3%4")
                                   .arg(path)
                                   .arg(line)
                                   .arg(id)
                                   .arg(hasMessage(id) ? QString() : QStringLiteral(" (missing)"));
            }
        }
        QVERIFY(files > 0);
        QVERIFY2(literal.isEmpty(), qPrintable(literal.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
