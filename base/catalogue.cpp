#include "base/catalogue.h"

#include <QFile>
#include <QStringDecoder>
#include <QtGlobal>

#include <algorithm>

// The resource is compiled into the static core library. Qt registers it on its own when the
// resource objects are linked in, but calling the initializer as well keeps it found even when a
// consumer links the library without them being pulled in. The macro must be used outside any
// namespace; registering twice is harmless.
static void initCoreResources() {
    Q_INIT_RESOURCE(core_resources);
}

namespace tf {

namespace {

const QString kResourcePath = QStringLiteral(":/catalogue.tsv");
constexpr int kMaxId = 0xFFFF; // ids are 16-bit
constexpr int kStatusBase = 900;

struct LoadedCatalogue {
    QHash<int, QString> texts;
    QStringList problems;
};

// Parses the id field: one to five ASCII digits, at most kMaxId. Signs, blanks and other
// characters are rejected so that a stray character cannot silently shift a message.
bool parseId(QByteArrayView field, int* id) {
    if (field.isEmpty() || field.size() > 5)
        return false;
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > kMaxId)
        return false;
    *id = value;
    return true;
}

LoadedCatalogue load() {
    initCoreResources();
    LoadedCatalogue result;
    QFile file(kResourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problems
            << QStringLiteral("%1: cannot be opened: %2").arg(kResourcePath, file.errorString());
    } else {
        CatalogueParseResult parsed = parseCatalogue(file.readAll());
        result.texts = std::move(parsed.texts);
        result.problems = std::move(parsed.problems);
        if (result.texts.isEmpty() && result.problems.isEmpty())
            result.problems << QStringLiteral("%1: holds no messages").arg(kResourcePath);
    }
    for (const QString& problem : std::as_const(result.problems))
        qCritical("message catalogue: %s", qUtf8Printable(problem));
    return result;
}

// Loaded on first use. Function-local statics are initialised once even with threads.
const LoadedCatalogue& catalogue() {
    static const LoadedCatalogue instance = load();
    return instance;
}

} // namespace

CatalogueParseResult parseCatalogue(const QByteArray& tsv) {
    CatalogueParseResult result;
    QHash<int, int> firstLine; // id -> line that defined it
    const QList<QByteArray> lines = tsv.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const int lineNo = int(i) + 1;
        auto problem = [&](const QString& what) {
            result.problems << QStringLiteral("line %1: %2").arg(lineNo).arg(what);
        };
        // The split leaves one empty piece after the final LF; blank lines are allowed anyway.
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        // A CR would become part of the text, including the blanks that must end some texts.
        if (line.contains('\r')) {
            problem(QStringLiteral("carriage return in line (line ends must be LF only)"));
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0) {
            problem(QStringLiteral("no TAB between id and text"));
            continue;
        }
        int id = 0;
        const QByteArrayView idField = QByteArrayView(line).first(tab);
        if (!parseId(idField, &id)) {
            problem(QStringLiteral("bad id \"%1\"").arg(QString::fromUtf8(idField)));
            continue;
        }
        const QByteArrayView textField = QByteArrayView(line).sliced(tab + 1);
        if (textField.contains('\t')) {
            problem(QStringLiteral("id %1: more than one TAB").arg(id));
            continue;
        }
        if (textField.isEmpty()) {
            problem(QStringLiteral("id %1: empty text").arg(id));
            continue;
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(textField);
        if (decoder.hasError()) {
            problem(QStringLiteral("id %1: text is not valid UTF-8").arg(id));
            continue;
        }
        if (const auto it = firstLine.constFind(id); it != firstLine.cend()) {
            problem(QStringLiteral("id %1 defined again (first on line %2)").arg(id).arg(*it));
            continue;
        }
        firstLine.insert(id, lineNo);
        result.texts.insert(id, text);
    }
    return result;
}

QStringList catalogueProblems() {
    return catalogue().problems;
}

QList<int> catalogueIds() {
    QList<int> ids = catalogue().texts.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool hasMessage(int id) {
    return catalogue().texts.contains(id);
}

QString catalogueText(int id) {
    const auto& texts = catalogue().texts;
    if (const auto it = texts.constFind(id); it != texts.cend())
        return *it;
    qCritical("message catalogue: no message %d", id);
    return QStringLiteral("[missing message %1]").arg(id);
}

QString msg(int id) {
    Q_ASSERT_X(hasMessage(id), "tf::msg", qPrintable(QStringLiteral("no message %1").arg(id)));
    return catalogueText(id);
}

QString statusText(int code) {
    return msg(kStatusBase + code);
}

} // namespace tf
