// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafariShortcut.h"

#include <QFileInfo>
#include <QUrl>

#include "AtomicFile.h"
#include "SafariUrlRules.h"

namespace SafariShortcut {

namespace {

const QString kExtension = QStringLiteral("desktop");

// A value of a desktop entry: one line, its backslashes and control
// characters escaped as the format spells them, no other control character.
QString desktopValue(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Format
                || c.isNonCharacter() || c.isSurrogate())
                continue;
            out += c;
        }
    }
    // Leading blanks would be taken as part of the separator.
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QLatin1String("\\s"));
    return out;
}

QString write(const QString& path, const QString& title, const QString& address, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name could be made for the shortcut");
        return QString();
    }
    const QString name =
        title.trimmed().isEmpty() ? QFileInfo(path).completeBaseName() : title.trimmed();
    return writeFileAtomically(path, contents(name, address), error) ? path : QString();
}

} // namespace

bool canSave(const QString& address) { return SafariUrlRules::isWebAddress(address); }

QByteArray contents(const QString& title, const QString& address)
{
    // The address as the device has it, made one line; a web address needs
    // no other escaping.
    const QString url = SafariUrlRules::webUrl(address).toString(QUrl::FullyEncoded);
    QString text = QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Type=Link\n");
    text += QStringLiteral("Name=") + desktopValue(title) + QLatin1Char('\n');
    text += QStringLiteral("URL=") + desktopValue(url) + QLatin1Char('\n');
    text += QStringLiteral("Icon=text-html\n");
    return text.toUtf8();
}

QString nameFallback(const QString& address)
{
    const QString host = QUrl(address).host();
    return host.isEmpty() ? QStringLiteral("Shortcut") : host;
}

QString save(const QString& folder, const QString& title, const QString& address, QString* error)
{
    // A shortcut already there of this name stays; the new one is numbered.
    Run run(folder);
    return run.save(title, address, error);
}

Run::Run(const QString& folder)
    : m_namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both)
{
}

QString Run::save(const QString& title, const QString& address, QString* error)
{
    if (!canSave(address)) {
        if (error)
            *error = QStringLiteral("only web addresses (http and https) are saved as shortcuts");
        return QString();
    }
    QString path = m_namer.claimPath(title, kExtension, nameFallback(address));
    if (path.isEmpty())
        path = m_namer.claimPath(QStringLiteral("Shortcut"), kExtension);
    return write(path, title, address, error);
}

} // namespace SafariShortcut
