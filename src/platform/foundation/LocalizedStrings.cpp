#include "LocalizedStrings.h"

#include "Log.h"

#include <QFile>
#include <QHash>
#include <QLocale>

namespace {

// Reads one quoted string starting at `pos` (on the opening quote); handles the
// escapes \" \\ \n \t. Answers false on an unterminated string.
bool readQuoted(const QString& source, qsizetype& pos, QString& out)
{
    out.clear();
    for (++pos; pos < source.size(); ++pos) {
        const QChar c = source.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c == QLatin1Char('\\') && pos + 1 < source.size()) {
            const QChar next = source.at(++pos);
            out += next == QLatin1Char('n') ? QChar('\n') : next == QLatin1Char('t') ? QChar('\t') : next;
        } else {
            out += c;
        }
    }
    return false;
}

const QHash<QString, QString>& table()
{
    static const QHash<QString, QString> strings = [] {
        QFile file(QStringLiteral(":/Localizable.strings"));
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcOrvane) << "The string table is missing";
            return QHash<QString, QString>();
        }
        return LocalizedStrings::parse(QString::fromUtf8(file.readAll()));
    }();
    return strings;
}

} // namespace

namespace LocalizedStrings {

QHash<QString, QString> parse(const QString& source)
{
    QHash<QString, QString> result;
    qsizetype pos = 0;
    QString key, value;
    while (pos < source.size()) {
        const QChar c = source.at(pos);
        if (c == QLatin1Char('/') && pos + 1 < source.size() && source.at(pos + 1) == QLatin1Char('*')) {
            const qsizetype end = source.indexOf(QStringLiteral("*/"), pos + 2);
            pos = end < 0 ? source.size() : end + 2;
        } else if (c == QLatin1Char('/') && pos + 1 < source.size() && source.at(pos + 1) == QLatin1Char('/')) {
            const qsizetype end = source.indexOf(QLatin1Char('\n'), pos);
            pos = end < 0 ? source.size() : end + 1;
        } else if (c == QLatin1Char('"')) {
            if (!readQuoted(source, pos, key))
                break;
            while (pos < source.size() && source.at(pos) != QLatin1Char('"') && source.at(pos) != QLatin1Char(';'))
                ++pos;
            if (pos >= source.size() || source.at(pos) != QLatin1Char('"') || !readQuoted(source, pos, value))
                break;
            result.insert(key, value);
        } else {
            ++pos;
        }
    }
    return result;
}

QString text(const QString& key)
{
    const auto& strings = table();
    const auto it = strings.constFind(key);
    return it == strings.cend() ? key : it.value();
}

QString count(const QString& key, qint64 n)
{
    const auto& strings = table();
    // English has one singular; a table of another language names its own forms
    // by the same suffix, and a missing form falls back to the general one.
    auto it = n == 1 ? strings.constFind(key + QStringLiteral("#one")) : strings.cend();
    if (it == strings.cend())
        it = strings.constFind(key);
    const QString pattern = it == strings.cend() ? key : it.value();
    // A singular that names no number ("the app") leaves its other numbers to the caller.
    if (!pattern.contains(QLatin1String("%1")))
        return pattern;
    return pattern.arg(QLocale().toString(n));
}

} // namespace LocalizedStrings
