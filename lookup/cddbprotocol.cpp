#include "lookup/cddbprotocol.h"

#include "model/discid.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace tf {

namespace {

QString plainWord(const QString& text) {
    // A hello word must not carry blanks or controls; what is left is percent-encoded.
    QString word;
    for (QChar c : text) {
        if (c.unicode() > 0x20 && c.unicode() != 0x7f)
            word += c;
    }
    return word;
}

QByteArray encodeWords(const QStringList& words) {
    QByteArrayList encoded;
    encoded.reserve(words.size());
    for (const QString& w : words)
        encoded.append(QUrl::toPercentEncoding(w));
    return encoded.join('+');
}

QUrl serverUrl(const CddbOptions& options, const QString& path) {
    QUrl url;
    url.setScheme(options.scheme.toLower() == QLatin1String("http") ? QStringLiteral("http")
                                                                    : QStringLiteral("https"));
    url.setHost(options.server);
    if (options.port > 0 && options.port <= 65535)
        url.setPort(options.port);
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    return url;
}

} // namespace

QStringList cddbCategories() {
    return {QStringLiteral("blues"), QStringLiteral("classical"), QStringLiteral("country"),
            QStringLiteral("data"),  QStringLiteral("folk"),      QStringLiteral("jazz"),
            QStringLiteral("misc"),  QStringLiteral("newage"),    QStringLiteral("reggae"),
            QStringLiteral("rock"),  QStringLiteral("soundtrack")};
}

QNetworkProxy cddbProxy(const CddbOptions& options) {
    const QString host = options.proxyHost.trimmed();
    if (host.isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    // A port that is missing or not a port at all should not stop the lookup: take the usual
    // proxy port instead.
    const int port = (options.proxyPort > 0 && options.proxyPort <= 65535) ? options.proxyPort
                                                                           : kCddbDefaultProxyPort;
    return QNetworkProxy(QNetworkProxy::HttpProxy, host, static_cast<quint16>(port),
                         options.proxyUser, options.proxyPassword);
}

std::optional<CddbToc> CddbToc::fromTocTimes(const QList<TocTime>& toc, QString* error) {
    const auto id = ComputeDiscId(toc, error);
    if (!id)
        return std::nullopt;
    CddbToc result;
    for (qsizetype i = 0; i + 1 < toc.size(); ++i)
        result.trackOffsets.append(tocFrameOffset(toc.at(i)));
    result.leadOut = tocFrameOffset(toc.last());
    result.discId = discIdText(*id);
    return result;
}

std::optional<CddbToc> CddbToc::fromTocText(const QString& text, QString* error) {
    QList<TocTime> toc;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& w : words) {
        bool ok = false;
        const int frames = w.toInt(&ok);
        // 255 minutes is the most a TocTime holds; no disc comes near it.
        if (!ok || frames < 0 || frames >= 256 * 4500) {
            if (error)
                *error = QStringLiteral("The table of contents \"%1\" is not a list of frame "
                                        "offsets.")
                             .arg(sanitizeCddbText(text.left(80)));
            return std::nullopt;
        }
        toc.append(TocTime{static_cast<quint8>(frames / 4500),
                           static_cast<quint8>((frames / 75) % 60),
                           static_cast<quint8>(frames % 75)});
    }
    return fromTocTimes(toc, error);
}

QStringList cddbHelloWords(const QString& email) {
    const QString address = plainWord(email);
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    QString user = at > 0 ? address.left(at) : address;
    QString host = at > 0 ? address.mid(at + 1) : QString();
    if (user.isEmpty())
        user = QStringLiteral("anonymous");
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return {user, host, QString::fromLatin1(kCddbClientName),
            QString::fromLatin1(kCddbClientVersion)};
}

QString cddbQueryCommand(const CddbToc& toc) {
    QStringList words{QStringLiteral("cddb"), QStringLiteral("query"), toc.discId,
                      QString::number(toc.trackCount())};
    for (int offset : toc.trackOffsets)
        words.append(QString::number(offset));
    words.append(QString::number(toc.lengthSeconds()));
    return words.join(QLatin1Char(' '));
}

QString cddbReadCommand(const QString& category, const QString& discId) {
    return QStringLiteral("cddb read %1 %2").arg(category, discId);
}

QUrl cddbCommandUrl(const CddbOptions& options, const QString& command) {
    QUrl url = serverUrl(options, options.queryPath);
    const QByteArray query = "cmd=" + encodeWords(command.split(QLatin1Char(' '))) +
                             "&hello=" + encodeWords(cddbHelloWords(options.email)) +
                             "&proto=" + QByteArray::number(kCddbProtocolLevel);
    // Already encoded: tolerant mode keeps '+' and the escapes exactly as they are.
    url.setQuery(QString::fromLatin1(query), QUrl::TolerantMode);
    return url;
}

QUrl cddbSubmitUrl(const CddbOptions& options) {
    return serverUrl(options, options.submitPath);
}

bool isCddbCategoryWord(const QString& category) {
    static const QRegularExpression re(QStringLiteral("^[a-z]{1,20}$"));
    return re.match(category).hasMatch();
}

bool isCddbDiscIdWord(const QString& discId) {
    static const QRegularExpression re(QStringLiteral("^[0-9a-fA-F]{8}$"));
    return re.match(discId).hasMatch();
}

bool isValidCddbEmail(const QString& email) {
    static const QRegularExpression re(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return re.match(email).hasMatch() && plainWord(email) == email;
}

QString decodeCddbText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString sanitizeCddbText(const QString& text) {
    QString clean = text;
    for (QChar& c : clean) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char(' ');
    }
    return clean;
}

QStringList cddbBodyLines(const QByteArray& body) {
    QStringList lines;
    // A byte-order mark before the status line would hide its code.
    const QList<QByteArray> raw =
        (body.startsWith("\xef\xbb\xbf") ? body.mid(3) : body).split('\n');
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QByteArray line = raw.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (i + 1 == raw.size() && line.isEmpty())
            break; // the text after the last line end
        lines.append(decodeCddbText(line));
    }
    return lines;
}

void splitCddbTitle(const QString& dtitle, QString* artist, QString* title) {
    const qsizetype slash = dtitle.indexOf(QLatin1String(" / "));
    if (slash < 0) {
        *artist = dtitle.trimmed();
        *title = dtitle.trimmed();
        return;
    }
    *artist = dtitle.left(slash).trimmed();
    *title = dtitle.mid(slash + 3).trimmed();
}

std::optional<CddbStatusLine> parseCddbStatusLine(const QString& line) {
    if (line.size() < 3)
        return std::nullopt;
    for (int i = 0; i < 3; ++i) {
        if (!line.at(i).isDigit() || line.at(i).unicode() > u'9')
            return std::nullopt;
    }
    if (line.size() > 3 && line.at(3) != QLatin1Char(' '))
        return std::nullopt;
    return CddbStatusLine{line.left(3).toInt(), sanitizeCddbText(line.mid(4)).trimmed()};
}

} // namespace tf
