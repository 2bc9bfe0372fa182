// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderPhotoLibraryHost.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

#include "AtomicFile.h"
#include "Log.h"
#include "SafePath.h"

namespace {

// The SHA-256 of a file, read in blocks; empty when it cannot be read.
QByteArray hashOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

AtomicFile::Producer copyOf(const QString& source)
{
    return [source](QIODevice& out, QString* error) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            *error = in.errorString();
            return false;
        }
        QByteArray block;
        while (!(block = in.read(4 << 20)).isEmpty()) {
            if (out.write(block) != block.size()) {
                *error = out.errorString();
                return false;
            }
        }
        if (in.error() != QFile::NoError) {
            *error = in.errorString();
            return false;
        }
        return true;
    };
}

// The files already in one folder of the library, by size, with their
// hashes worked out only when a new file of the same size comes.
class FolderContents {
public:
    explicit FolderContents(const QString& folder)
    {
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries)
            if (!entry.isSymLink() && !entry.fileName().endsWith(QLatin1String(".xmp")))
                m_bySize[entry.size()].append(entry.absoluteFilePath());
    }

    bool holdsCopyOf(const QString& file, qint64 size)
    {
        const QStringList candidates = m_bySize.value(size);
        if (candidates.isEmpty())
            return false;
        const QByteArray hash = hashOf(file);
        if (hash.isEmpty())
            return false;
        for (const QString& candidate : candidates) {
            auto found = m_hashes.find(candidate);
            if (found == m_hashes.end())
                found = m_hashes.insert(candidate, hashOf(candidate));
            if (*found == hash)
                return true;
        }
        return false;
    }

    void add(const QString& path, qint64 size) { m_bySize[size].append(path); }

private:
    QHash<qint64, QStringList> m_bySize;
    QHash<QString, QByteArray> m_hashes;
};

} // namespace

FolderPhotoLibraryHost::FolderPhotoLibraryHost(const QString& folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
}

QString FolderPhotoLibraryHost::defaultFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        return {};
    QString name = QSettings().value(QLatin1String(kFolderNameSetting)).toString();
    // The setting names a folder inside the pictures folder, never a path.
    if (!SafePath::isPlainName(name))
        name = QString::fromLatin1(kDefaultFolderName);
    return QDir(pictures).filePath(name);
}

bool FolderPhotoLibraryHost::available() const { return !m_folder.isEmpty(); }

QByteArray FolderPhotoLibraryHost::favouriteSidecar()
{
    return QByteArrayLiteral(
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "  <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\""
        " xmp:Rating=\"5\"/>\n"
        " </rdf:RDF>\n"
        "</x:xmpmeta>\n"
        "<?xpacket end=\"w\"?>\n");
}

PhotoLibraryHost::ImportResult FolderPhotoLibraryHost::importFiles(
    const QStringList& files, const std::optional<QString>& album,
    const QList<int>& favouritePositions)
{
    ImportResult result;
    if (!available()) {
        result.failed = int(files.size());
        return result;
    }
    QString folder = m_folder;
    if (album) {
        const QString name = SafePath::fileName(*album, QStringLiteral("Album"));
        folder = QDir(m_folder).filePath(name);
    }
    if (!QDir().mkpath(folder) || !SafePath::isInside(m_folder, folder)) {
        qCWarning(lcOrvane) << "cannot make the photo library folder" << folder;
        result.failed = int(files.size());
        return result;
    }
    FolderContents contents(folder);
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Parenthesised);
    for (int i = 0; i < files.size(); ++i) {
        const QFileInfo source(files.at(i));
        if (!source.isFile()) {
            ++result.failed;
            continue;
        }
        if (contents.holdsCopyOf(source.absoluteFilePath(), source.size())) {
            ++result.duplicates;
            continue;
        }
        const QString target =
            namer.claimPath(source.completeBaseName(), source.suffix(), QStringLiteral("Photo"));
        QString error;
        if (target.isEmpty() || !SafePath::isInside(folder, target)
            || !writeFileAtomically(target, copyOf(source.absoluteFilePath()), &error)) {
            qCWarning(lcOrvane) << "could not import" << source.fileName() << "into" << folder
                                << ":" << error;
            ++result.failed;
            continue;
        }
        contents.add(target, source.size());
        result.imported.append(target);
        if (favouritePositions.contains(i + 1)
            && !writeFileAtomically(target + QStringLiteral(".xmp"), favouriteSidecar(), &error))
            qCWarning(lcOrvane) << "could not mark" << target << "as a favourite:" << error;
    }
    return result;
}
