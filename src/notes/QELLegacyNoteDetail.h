// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELNoteDetail.h"

// A note of the older databases (notes.sqlite, notes.db): one text, already
// cleaned of its markup, lines separated by CR LF. It has no attachments.
class QELLegacyNoteDetail : public QELNoteDetail {
public:
    QString plainTextRepresentation() const override;
    QString htmlRepresentationWithTitle(const QString& title) const override;
    // The page of htmlRepresentationWithTitle(); `path` is not used.
    QString htmlExportToPath(const QString& path, const QString& title) const override;

    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }

    // The cleaning the older databases' HTML bodies get: line-break markup to
    // CR LF, other tags removed, then every character reference decoded once
    // (a no-break space as a space), trimmed.
    static QString cleanedBodyText(const QString& html);

private:
    QString m_text;
};
