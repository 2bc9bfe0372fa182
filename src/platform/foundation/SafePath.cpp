// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafePath.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace SafePath {

namespace {

// An extension longer than this is more likely part of the name ("a.very long
// title") than a file type, and is not worth keeping at the cost of the name.
constexpr int kMaxExtensionBytes = 16;
// A run that has not found a free number after this many is working against
// a folder that something else fills; it gives up instead of spinning.
constexpr int kMaxNumberTries = 10000;

int utf8Length(const QString& text) { return static_cast<int>(text.toUtf8().size()); }

int utf8Length(char32_t c)
{
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    return c < 0x10000 ? 3 : 4;
}

// Bidirectional embedding, override and isolate controls: they let a name show
// a different extension from the one it has ("photo\u202Egpj.exe").
bool isBidiControl(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isRefused(char32_t c, const NameRules& rules)
{
    if (c == '/' || c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029
        || isBidiControl(c))
        return true;
    return !rules.alsoReplace.isEmpty() && rules.alsoReplace.contains(QString::fromUcs4(&c, 1));
}

QString replaceRefused(const QString& text, const NameRules& rules)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (isRefused(code, rules)) {
                out += rules.replacement;
            } else {
                out += c;
                out += text.at(i + 1);
            }
            ++i;
            continue;
        }
        // A lone surrogate has no UTF-8 form: the name on disk would differ from
        // the one we checked.
        if (c.isSurrogate() || isRefused(c.unicode(), rules))
            out += rules.replacement;
        else
            out += c;
    }
    return out;
}

// The longest start of `text` of at most `maxBytes` UTF-8 bytes, cut between
// user-visible characters where one fits, else between code points.
QString cutToBytes(const QString& text, int maxBytes)
{
    if (maxBytes <= 0)
        return QString();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype lastGrapheme = 0;
    qsizetype lastCodePoint = 0;
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, text.at(i + 1)) : c.unicode();
        const int width = c.isSurrogate() && !pair ? 3 : utf8Length(code);
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        i += pair ? 2 : 1;
        lastCodePoint = i;
        graphemes.setPosition(i);
        if (graphemes.isAtBoundary())
            lastGrapheme = i;
    }
    if (i >= text.size())
        return text;
    return text.left(lastGrapheme > 0 ? lastGrapheme : lastCodePoint);
}

QString trimmedEnd(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    text.truncate(end);
    return text;
}

bool isUsable(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

// Canonical form of an existing path, or empty.
QString canonical(const QString& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(
        realpath(QFile::encodeName(path).constData(), nullptr), &std::free);
    return resolved ? QFile::decodeName(resolved.get()) : QString();
}

bool existsFollowingLinks(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isLink(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool existsOrIsLink(const QString& path) { return existsFollowingLinks(path) || isLink(path); }

} // namespace

bool isPlainName(const QString& name)
{
    return isUsable(name) && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool isSafeRelativePath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0))
        || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
        return false;
    const QStringList components = path.split(QLatin1Char('/'));
    for (const QString& component : components) {
        if (!isUsable(component))
            return false;
    }
    return true;
}

QString normalisedRelativePath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return {};
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return {};
        parts.append(part);
    }
    return parts.join(QLatin1Char('/'));
}

QString fileName(const QString& text, const NameRules& rules)
{
    // Trimmed first, so a line break at either end goes instead of becoming "_".
    QString name = replaceRefused(text.trimmed(), rules).trimmed();
    if (!isUsable(name))
        return QString();
    // A name that starts with a dot is hidden in every file manager and
    // listing: an album "...And Justice for All" would seem not copied at all.
    for (qsizetype i = 0; i < name.size() && name.at(i) == QLatin1Char('.'); ++i)
        name[i] = rules.replacement;
    if (utf8Length(name) <= rules.maxBytes)
        return name;

    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < name.size() - 1) {
        const QString extension = name.mid(dot);
        const int extensionBytes = utf8Length(extension);
        const bool plain =
            !extension.contains(QLatin1Char(' ')) && extensionBytes <= kMaxExtensionBytes + 1;
        if (plain && extensionBytes < rules.maxBytes) {
            const QString stem =
                trimmedEnd(cutToBytes(name.left(dot), rules.maxBytes - extensionBytes));
            if (!stem.isEmpty())
                return stem + extension;
        }
    }
    const QString cut = trimmedEnd(cutToBytes(name, rules.maxBytes));
    return isUsable(cut) ? cut : QString();
}

QString fileName(const QString& text, const QString& fallback, const NameRules& rules)
{
    const QString name = fileName(text, rules);
    return name.isEmpty() ? fileName(fallback, rules) : name;
}

bool isInside(const QString& folder, const QString& path)
{
    const QString root = canonical(folder);
    if (root.isEmpty() || path.isEmpty() || path.contains(QChar(0)))
        return false;
    // Each step is looked up as written: the kernel resolves a ".." after a
    // link from the link's target, which cleaning the text first would not.
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString existing = QStringLiteral("/");
    qsizetype first = 0;
    for (; first < parts.size(); ++first) {
        const QString next =
            (existing == QLatin1String("/") ? existing : existing + QLatin1Char('/'))
            + parts.at(first);
        if (!existsFollowingLinks(next)) {
            // A link that leads nowhere yet would take whatever is made there
            // to where it points.
            if (isLink(next))
                return false;
            break;
        }
        existing = next;
    }
    QString resolved = canonical(existing);
    if (resolved.isEmpty())
        return false;
    for (qsizetype i = first; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        if (part == QLatin1String(".."))
            return false;
        if (part == QLatin1String("."))
            continue;
        resolved += (resolved == QLatin1String("/") ? QString() : QStringLiteral("/")) + part;
    }
    if (root == QLatin1String("/"))
        return true;
    return resolved == root || resolved.startsWith(root + QLatin1Char('/'));
}

UniqueNamer::UniqueNamer(QString folder, Numbering numbering, Taken taken, NameRules rules)
    : m_folder(std::move(folder))
    , m_numbering(numbering)
    , m_taken(taken)
    , m_rules(std::move(rules))
{
}

void UniqueNamer::setFirstNumber(int number) { m_firstNumber = number; }

bool UniqueNamer::isTaken(const QString& name) const
{
    const int taken = static_cast<int>(m_taken);
    if ((taken & static_cast<int>(Taken::UsedThisRun)) && m_used.contains(name.toCaseFolded()))
        return true;
    return (taken & static_cast<int>(Taken::InFolder))
        && existsOrIsLink(m_folder + QLatin1Char('/') + name);
}

QString UniqueNamer::numbered(const QString& stem, const QString& suffix, int number) const
{
    const QString mark = m_numbering == Numbering::Parenthesised
        ? QStringLiteral(" (%1)").arg(number)
        : QStringLiteral(" %1").arg(number);
    const QString cut =
        trimmedEnd(cutToBytes(stem, m_rules.maxBytes - utf8Length(mark) - utf8Length(suffix)));
    return cut.isEmpty() ? QString() : cut + mark + suffix;
}

QString UniqueNamer::claim(const QString& text, const QString& extension, const QString& fallback)
{
    const QString safeExtension = extension.isEmpty() ? QString() : fileName(extension, m_rules);
    const QString suffix = safeExtension.isEmpty() ? QString() : QLatin1Char('.') + safeExtension;
    NameRules stemRules = m_rules;
    stemRules.maxBytes = m_rules.maxBytes - utf8Length(suffix);
    const QString stem = fileName(text, fallback, stemRules);
    if (stem.isEmpty())
        return QString();

    QString name = stem + suffix;
    for (int tries = 0; isTaken(name); ++tries) {
        if (tries == kMaxNumberTries || m_firstNumber > INT_MAX - tries)
            return QString();
        name = numbered(stem, suffix, m_firstNumber + tries);
        if (name.isEmpty())
            return QString();
    }
    m_used.insert(name.toCaseFolded());
    return name;
}

QString UniqueNamer::claimPath(const QString& text, const QString& extension,
                               const QString& fallback)
{
    const QString name = claim(text, extension, fallback);
    return name.isEmpty() ? QString() : m_folder + QLatin1Char('/') + name;
}

void UniqueNamer::release(const QString& nameOrPath)
{
    const qsizetype slash = nameOrPath.lastIndexOf(QLatin1Char('/'));
    m_used.remove((slash < 0 ? nameOrPath : nameOrPath.mid(slash + 1)).toCaseFolded());
}

} // namespace SafePath
