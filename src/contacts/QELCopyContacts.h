// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include "QELContact.h"
#include "QELCopy.h"

// Exports contacts (QELContactPtr items of the queue) as vCard 3.0 files into
// the destination folder: one "<searchReference>.vcf" per contact, the name
// made safe ("Contact" for a name that gives none) and numbered when two
// contacts of one run share it ("Ann Lee.vcf", "Ann Lee 1.vcf"); a file of an
// earlier run is replaced whole. The run syncs its files to disk once, at its end
// (also when cancelled). A file that cannot be written counts as not
// copied.
class QELCopyContacts : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyContacts(QObject* parent = nullptr);
    ~QELCopyContacts() override;

    void startCopy() override;

    // The file's text: UTF-8, every line ending in CR LF, folded at 75
    // octets, values escaped.
    // It holds the birthday, the nicknames and the picture (JPEG or PNG).
    static QByteArray _vCardFromContact(const QELContact& contact);
    // The card's FN: the name in the order people write it ("Dana
    // Whitfield"), else the organisation.
    static QString fullNameOf(const QELContact& contact);

private:
    void _copyContacts();
};
