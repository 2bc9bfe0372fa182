// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QImage>
#include <QMetaType>
#include <QString>

// One book of the books category, as the device's book lists describe it.
// The view keeps its records; the copy jobs get copies of them, so a job
// never changes what the view shows.
class QELBookDetails {
public:
    QELBookDetails() = default;

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString artist() const { return m_artist; }
    void setArtist(const QString& artist) { m_artist = artist; }
    // The book's device path, a file or a folder; null for a purchase the
    // device holds no file of.
    QString path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    // The kind as the lists give it; nothing when they give none.
    std::optional<QString> extension() const { return m_extension; }
    void setExtension(const std::optional<QString>& extension) { m_extension = extension; }
    QString persistentID() const { return m_persistentID; }
    void setPersistentID(const QString& id) { m_persistentID = id; }
    // The book's own cover, or the shared default cover.
    QImage coverArt() const { return m_coverArt; }
    void setCoverArt(const QImage& cover) { m_coverArt = cover; }

    // A book without an extension, or with "pdf" in any case; every other
    // book is of the ePub kind.
    bool isPDFKind() const;
    // What the inspection calls the kind: "pdf" for the PDF kind, else the
    // extension in lower case.
    QString kindText() const;

    // The text a copy of the book is named from: its name without leading
    // dots (no copy is a hidden file), else its persistent ID, else the name
    // of its device file.
    QString fileText() const;
    QString fileFallbackText() const;

private:
    QString m_name;
    QString m_artist;
    QString m_path;
    std::optional<QString> m_extension;
    QString m_persistentID;
    QImage m_coverArt;
};

Q_DECLARE_METATYPE(QELBookDetails)
