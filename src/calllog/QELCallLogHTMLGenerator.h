// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <QVariant>

#include "QELCallLogEntryDetail.h"

// The call log page: an XHTML page with one block per call (a direction
// picture, who and when, and the length or a missed/unanswered note). The
// view shows and prints it, the copy job saves it. It carries its pictures
// inline, so the saved file needs no other file. Stateless; any thread.
class QELCallLogHTMLGenerator {
public:
    // The inline picture elements of a page; an empty one leaves an empty place.
    struct Images {
        QString made;
        QString received;
        QString missed;
        QString unanswered;
        QString videoCamera;
        // The program's own five pictures (made once).
        static const Images& bundled();
    };

    // How a page is written: the locale and time zone of its dates (by
    // default the user's), and its pictures.
    struct Options {
        QLocale locale;
        std::optional<QTimeZone> timeZone; // none: the system's local time
        Images images = Images::bundled();
    };

    // The whole page, the calls in the order given.
    static QString generateHTMLForCallLogs(const QList<QELCallLogEntryDetail>& calls);
    static QString generateHTMLForCallLogs(const QList<QELCallLogEntryDetail>& calls,
                                           const Options& options);

    // The length of a call in seconds as the page shows it: "00:00" for 0 or
    // less, "01:05", "01:00:00", "01:02:05"; "Formatter error" for a value
    // that is not a number.
    static QString stringForObjectValue(const QVariant& value);

    // The inline picture element of a PNG file (a path or a ":/" resource):
    // <img src="data:image/png;base64,..."/>; null when the file cannot be
    // read or is not a PNG picture.
    static QString _stringFromImagePath(const QString& path);

    // Who a call was with, as the page shows it: the name, then the number
    // in brackets when a contact's name stands for it ("Ann Lee
    // (+15550100111)"); the number alone when nothing named it.
    static QString shownParty(const QELCallLogEntryDetail& call);

    // A date as the page shows it: the locale's medium date and short time.
    static QString formattedDate(const QDateTime& date, const QLocale& locale,
                                 const std::optional<QTimeZone>& timeZone);
};
