// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "AddressBookFixture.h"
#include "QELContactsDbReader.h"

// A reader loaded from fixture databases written into the test's home; the
// pictures database only when one is given.
std::unique_ptr<QELContactsDbReader> loadedReader(const AddressBookFixture& book,
                                                  const AddressBookImagesFixture* images = nullptr);
// The contact of this uid, or none.
QELContactPtr contactWithUid(const QELContactsReader& reader, qint64 uid);
// A contact made in memory with the given names (null: absent).
QELContactPtr makeContact(qint64 uid, const QString& given, const QString& family,
                          const QString& organisation = QString());

// The text's lines with folding undone and without their CR LF.
QStringList unfoldedLines(const QByteArray& text);
// The lines that start with `prefix`.
QStringList withPrefix(const QStringList& lines, const QString& prefix);

// What python3-vobject makes of vCard files: one JSON object per file (or an
// "error" member), written by the checker script. Empty when Python or
// vobject is missing, with the reason in `error`.
QByteArray vobjectReading(const QStringList& files, QString* error);
// The picture of a device contact: an image of `size` pixels in `format`
// ("JPG", "PNG", "TIFF", ...).
QByteArray pictureBytes(const char* format, int size = 8);
// A contact with a birthday, two nicknames and a picture.
QELContactPtr contactWithPicture(qint64 uid, const QByteArray& picture);
