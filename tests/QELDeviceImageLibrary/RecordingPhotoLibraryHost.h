// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <vector>

#include <QFile>
#include <QFileInfo>

#include "PhotoLibraryHost.h"

// A photo library that keeps what a transfer asks of it: each import's
// album, favourites and files, with the files' names and bytes as they were
// while the import ran. A test chooses its kind and can make it refuse files.
class RecordingPhotoLibraryHost : public PhotoLibraryHost {
public:
    struct Import {
        std::optional<QString> album;
        QList<int> favourites;
        QStringList paths;
        QStringList names;
        QList<QByteArray> bytes;
    };

    explicit RecordingPhotoLibraryHost(Kind kind = Kind::KeepsOriginals)
        : m_kind(kind)
    {
    }
    bool available() const override { return true; }
    Kind kind() const override { return m_kind; }
    ImportResult importFiles(const QStringList& files, const std::optional<QString>& album,
                             const QList<int>& favouritePositions) override
    {
        Import import{album, favouritePositions, files, {}, {}};
        ImportResult result;
        for (const QString& path : files) {
            QFile file(path);
            import.names.append(QFileInfo(path).fileName());
            import.bytes.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
            if (m_refuseAll)
                ++result.failed;
            else
                result.imported.append(path);
        }
        std::lock_guard lock(m_mutex);
        m_imports.push_back(import);
        return result;
    }
    void setRefuseAll(bool refuse) { m_refuseAll = refuse; }
    std::vector<Import> imports() const
    {
        std::lock_guard lock(m_mutex);
        return m_imports;
    }

private:
    Kind m_kind;
    bool m_refuseAll = false;
    mutable std::mutex m_mutex;
    std::vector<Import> m_imports;
};
