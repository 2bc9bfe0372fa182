// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QList>

#include "QELNoteContent.h"
#include "QELNoteDetail.h"

// A note of the note store (NoteStore.sqlite), whose body is a list of parts:
// lines of text and attachments. Non-Apple notes read through the note
// store's reader are of this kind too, with their lines as text parts.
class QELIOS9NoteDetail : public QELNoteDetail {
public:
    using ContentList = QList<std::shared_ptr<QELNoteContent>>;

    // Each part's plain text followed by a line feed, trimmed at both ends.
    QString plainTextRepresentation() const override;
    QString htmlRepresentationWithTitle(const QString& title) const override;
    QString htmlExportToPath(const QString& path, const QString& title) const override;
    QString htmlExportCounting(const QString& path, const QString& title, int* notExported,
                               AtomicFileBatch* files = nullptr) const override;

    // Set once the body is decoded into content() and its attachments are copied.
    bool mediaExtracted() const { return m_mediaExtracted; }
    void setMediaExtracted(bool extracted) { m_mediaExtracted = extracted; }
    // None until the body is decoded (or when it could not be).
    const std::optional<ContentList>& content() const { return m_content; }
    void setContent(const std::optional<ContentList>& content) { m_content = content; }

private:
    enum class Page { Display, Export };
    QString page(const QString& title, Page kind, const QString& path, int* notExported = nullptr,
                 AtomicFileBatch* files = nullptr) const;

    bool m_mediaExtracted = false;
    std::optional<ContentList> m_content;
};
