// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsDbReader.h"

#include <QFileInfo>
#include <QSet>

#include "DeviceTime.h"
#include "Log.h"
#include "QELContactStore.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

// ABMultiValue.property
constexpr qint64 kPhone = 3;
constexpr qint64 kEmail = 4;
constexpr qint64 kPostalAddress = 5;
constexpr qint64 kUrl = 22;

QSet<QString> columnsOf(sqlite3* db, const QString& table)
{
    QSet<QString> columns;
    QELSQLiteStatement info(
        db, QStringLiteral("PRAGMA table_info(%1)").arg(QELSQLiteHelper::quotedIdentifier(table)));
    info.forEachRow([&columns](const QELSQLiteStatement& row) {
        columns.insert(row.text(row.columnIndex(QStringLiteral("name"))).toLower());
        return true;
    });
    return columns;
}

// A text column by index; absent when the statement lacks it, the empty text
// for NULL, as device databases are read everywhere.
std::optional<QString> textAt(const QELSQLiteStatement& row, int column)
{
    if (column < 0)
        return std::nullopt;
    return QELSQLiteHelper::stringValueForColumnFromStatment(column, row.handle());
}

bool isEmpty(const std::optional<QString>& text) { return !text || text->isEmpty(); }

// Labels read "_$!<Mobile>!$_", "_$!<WorkFAX>!$_" or a text the user typed;
// the words are matched without regard to case.
bool labelHas(const QString& label, const char* word)
{
    return label.contains(QLatin1String(word), Qt::CaseInsensitive);
}

qint64 locationOf(const QString& label) { return labelHas(label, "work") ? 2 : 1; }

// The device keeps a birthday as seconds since 2001 (at noon UTC, so the UTC
// day is the day); some imports hold an ISO date instead.
std::optional<QDate> birthdayOf(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double seconds = trimmed.toDouble(&ok);
    if (ok) {
        const QDateTime time = DeviceTime::fromReferenceSeconds(seconds);
        if (time.isValid())
            return time.toUTC().date();
        return std::nullopt;
    }
    const QDate date = QDate::fromString(trimmed.left(10), Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

} // namespace

std::unique_ptr<QELContactsDbReader> QELContactsDbReader::initWithContactsDbPathAndPicturesDb(
    const QString& contactsPath, const QString& picturesPath)
{
    std::unique_ptr<QELContactsDbReader> reader(new QELContactsDbReader());
    if (!reader->init())
        return nullptr;
    reader->_dbPath = contactsPath;
    reader->_dbPicturesPath = picturesPath;
    return reader;
}

std::optional<QString> QELContactsDbReader::_getLabel(qint64 number) const
{
    const auto found = m_labels.constFind(number);
    if (found == m_labels.constEnd())
        return std::nullopt;
    return *found;
}

bool QELContactsDbReader::loadContacts()
{
    assertNotOnGuiThread();
    m_lastError.clear();
    if (!QELContactsReader::loadContacts()) {
        m_lastError = QStringLiteral("no address book database at \"%1\"").arg(_dbPath);
        return false;
    }
    m_picturesError.clear();
    QString error;
    _contactsDatabase = QELSQLiteDatabase::openCopyReadOnly(_dbPath, &error);
    if (!_contactsDatabase.isOpen()) {
        m_lastError = error;
        qCWarning(lcOrvane) << "cannot open the address book" << _dbPath << error;
    } else {
        if (!_dbPicturesPath.isEmpty() && QFileInfo(_dbPicturesPath).isFile()) {
            if (QFileInfo(_dbPicturesPath).size() == 0) {
                m_picturesError = QStringLiteral("the pictures file %1 is empty")
                                      .arg(QFileInfo(_dbPicturesPath).fileName());
            } else {
                _contactsPicturesDatabase =
                    QELSQLiteDatabase::openCopyReadOnly(_dbPicturesPath, &error);
                if (!_contactsPicturesDatabase.isOpen())
                    m_picturesError = QStringLiteral("the pictures file %1 is damaged: %2")
                                          .arg(QFileInfo(_dbPicturesPath).fileName(), error);
            }
            if (!m_picturesError.isEmpty())
                qCWarning(lcOrvane).noquote() << m_picturesError;
        }
        readLabels();
        readPeople();
        _contactsPicturesDatabase.close();
        _contactsDatabase.close();
    }
    // Saves the store too.
    mergeIdenticalContacts();
    return true;
}

void QELContactsDbReader::readLabels()
{
    m_labels.clear();
    sqlite3* db = _contactsDatabase.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("ABMultiValueLabel")))
        return;
    // A value names its label by the label's row number: after a label is
    // deleted, rows no longer count from one.
    QELSQLiteStatement rows(db, QStringLiteral("SELECT ROWID, * FROM ABMultiValueLabel"));
    const bool complete = rows.forEachRow([this](const QELSQLiteStatement& row) {
        if (row.handle() && !row.isNull(0))
            m_labels.insert(row.int64(0),
                            QELSQLiteHelper::stringValueForColumnFromStatment(1, row.handle()));
        return true;
    });
    if (!complete)
        m_lastError = rows.errorMessage();
}

void QELContactsDbReader::readPeople()
{
    sqlite3* db = _contactsDatabase.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("ABPerson"))) {
        m_lastError = QStringLiteral("the address book has no ABPerson table");
        return;
    }
    QELSQLiteStatement people(db, QStringLiteral("SELECT ROWID, * FROM ABPerson"));
    if (!people.isPrepared()) {
        m_lastError = people.errorMessage();
        return;
    }

    QELSQLiteStatement values;
    QELSQLiteStatement parts;
    if (QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("ABMultiValue"))) {
        const QSet<QString> columns = columnsOf(db, QStringLiteral("ABMultiValue"));
        if (columns.contains(QStringLiteral("record_id"))
            && columns.contains(QStringLiteral("property"))) {
            const QString table = QStringLiteral("ABMultiValue");
            values = QELSQLiteStatement(
                db,
                QStringLiteral("SELECT property, %1, %2, %3 FROM ABMultiValue "
                               "WHERE record_id = ?1 ORDER BY ROWID")
                    .arg(QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("label")),
                         QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("value")),
                         QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("UID"))));
        }
        if (columns.contains(QStringLiteral("uid"))
            && QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("ABMultiValueEntry"))
            && QELSQLiteHelper::doesDatabaseContainTable(db,
                                                         QStringLiteral("ABMultiValueEntryKey")))
            parts = QELSQLiteStatement(
                db,
                QStringLiteral("SELECT vek.value, ve.value FROM ABMultiValue mv INNER JOIN "
                               "ABMultiValueEntry ve ON mv.UID = ve.parent_id INNER JOIN "
                               "ABMultiValueEntryKey vek ON ve.key = vek.ROWID "
                               "WHERE mv.record_id = ?1 AND mv.UID = ?2 ORDER BY ve.ROWID"));
    }

    QELSQLiteStatement pictures;
    const QString picturesFile = QFileInfo(_dbPicturesPath).fileName();
    if (sqlite3* images = _contactsPicturesDatabase.handle()) {
        // A file that is no database at all fails its first read, not its open.
        QELSQLiteStatement probe(images, QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!probe.isPrepared()
            || !probe.forEachRow([](const QELSQLiteStatement&) { return true; }))
            m_picturesError = QStringLiteral("the pictures file %1 is damaged: %2")
                                  .arg(picturesFile, probe.errorMessage());
        // Older systems keep the picture in ABImage, later ones the full size
        // in ABFullSizeImage beside a thumbnail.
        for (const char* table : {"ABImage", "ABFullSizeImage", "ABThumbnailImage"}) {
            const QString name = QLatin1String(table);
            if (!QELSQLiteHelper::doesDatabaseContainTable(images, name))
                continue;
            const QSet<QString> columns = columnsOf(images, name);
            if (columns.contains(QStringLiteral("record_id"))
                && columns.contains(QStringLiteral("data")))
                pictures = QELSQLiteStatement(
                    images,
                    QStringLiteral("SELECT data FROM %1 WHERE record_id = ?1 ORDER BY ROWID")
                        .arg(name));
            break;
        }
        if (!pictures.isPrepared() && m_picturesError.isEmpty())
            m_picturesError =
                QStringLiteral("the pictures file %1 holds no picture table").arg(picturesFile);
        if (!m_picturesError.isEmpty())
            qCWarning(lcOrvane).noquote() << m_picturesError;
    }

    const int rowID = 0;
    const int first = people.columnIndex(QStringLiteral("First"));
    const int last = people.columnIndex(QStringLiteral("Last"));
    const int middle = people.columnIndex(QStringLiteral("Middle"));
    const int prefix = people.columnIndex(QStringLiteral("Prefix"));
    const int suffix = people.columnIndex(QStringLiteral("Suffix"));
    const int organization = people.columnIndex(QStringLiteral("Organization"));
    const int jobTitle = people.columnIndex(QStringLiteral("JobTitle"));
    const int note = people.columnIndex(QStringLiteral("Note"));
    const int nickname = people.columnIndex(QStringLiteral("Nickname"));
    const int birthday = people.columnIndex(QStringLiteral("Birthday"));

    // Pages of a damaged file that point back at one another answer the same
    // people again; each is read once.
    QSet<qint64> read;
    const bool complete = people.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 uid = row.int64(rowID);
        if (read.contains(uid))
            return true;
        read.insert(uid);
        auto contact = std::make_shared<QELContact>();
        contact->uid = uid;
        contact->organisation = textAt(row, organization);
        contact->title = textAt(row, jobTitle);
        contact->givenName = textAt(row, first);
        contact->additionalName = textAt(row, middle);
        contact->familyName = textAt(row, last);
        contact->honorificPrefixes = textAt(row, prefix);
        contact->honorificSuffixes = textAt(row, suffix);
        // A prefix, title or note alone names nobody.
        if (isEmpty(contact->familyName) && isEmpty(contact->givenName)
            && isEmpty(contact->additionalName) && isEmpty(contact->organisation))
            return true;

        QString fullName = contact->familyName.value_or(QString());
        if (!isEmpty(contact->givenName)) {
            if (!fullName.isEmpty())
                fullName += QStringLiteral(", ");
            fullName += *contact->givenName;
        }
        if (!isEmpty(contact->additionalName)) {
            if (!fullName.isEmpty())
                fullName += QLatin1Char(' ');
            fullName += *contact->additionalName;
        }
        contact->FN = fullName;
        contact->searchReference = fullName.isEmpty() ? contact->organisation : contact->FN;
        contact->note = textAt(row, note);
        if (const std::optional<QString> nick = textAt(row, nickname); !isEmpty(nick)) {
            auto nickName = std::make_shared<QELContactNickName>();
            nickName->nickName = nick;
            contact->nickNames.push_back(std::move(nickName));
        }
        if (birthday >= 0)
            contact->birthday = birthdayOf(*textAt(row, birthday));

        if (values.isPrepared())
            readValues(values, parts, *contact);
        if (pictures.isPrepared())
            readPicture(pictures, *contact);

        QELContactPtr stored = m_store->insertContact();
        *stored = std::move(*contact);
        return true;
    });
    if (!complete) {
        m_lastError = people.errorMessage();
        qCWarning(lcOrvane) << "the address book could not be read to its end" << m_lastError;
    }
}

void QELContactsDbReader::readValues(QELSQLiteStatement& values, QELSQLiteStatement& parts,
                                     QELContact& contact)
{
    values.reset();
    values.bindInt64(1, *contact.uid);
    bool haveUrl = false;
    const bool complete = values.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 property = row.int64(0);
        std::optional<QString> label;
        if (!row.isNull(1))
            label = _getLabel(row.int64(1));
        const QString value = QELSQLiteHelper::stringValueForColumnFromStatment(2, row.handle());
        switch (property) {
        case kEmail: {
            auto email = std::make_shared<QELContactEMail>();
            if (label)
                email->locationType = locationOf(*label);
            email->emailAddress = value;
            email->deviceLabel = label;
            contact.emails.push_back(std::move(email));
            break;
        }
        case kPhone: {
            auto phone = std::make_shared<QELContactTelephone>();
            phone->telephoneNumber = value;
            if (label) {
                phone->locationType = locationOf(*label);
                phone->isVoice = 1;
                phone->isCell = labelHas(*label, "mobile") || labelHas(*label, "iphone") ? 1 : 0;
                phone->isFax = labelHas(*label, "fax") ? 1 : 0;
            }
            phone->deviceLabel = label;
            contact.telephones.push_back(std::move(phone));
            break;
        }
        case kPostalAddress: {
            auto address = std::make_shared<QELContactAddress>();
            if (label)
                address->location = locationOf(*label);
            address->deviceLabel = label;
            if (parts.isPrepared() && !row.isNull(3)) {
                parts.reset();
                parts.bindInt64(1, *contact.uid);
                parts.bindInt64(2, row.int64(3));
                parts.forEachRow([&address](const QELSQLiteStatement& part) {
                    const QString key =
                        QELSQLiteHelper::stringValueForColumnFromStatment(0, part.handle())
                            .toUpper();
                    const QString text =
                        QELSQLiteHelper::stringValueForColumnFromStatment(1, part.handle());
                    if (key == QLatin1String("STREET"))
                        address->streetAddress =
                            QString(text).replace(QLatin1Char('\n'), QLatin1Char(','));
                    else if (key == QLatin1String("ZIP"))
                        address->postCode = text;
                    else if (key == QLatin1String("STATE"))
                        address->region = text;
                    else if (key == QLatin1String("COUNTRY"))
                        address->country = text;
                    else if (key == QLatin1String("COUNTRYCODE"))
                        address->countryCode = text;
                    else if (key == QLatin1String("CITY"))
                        address->locality = text;
                    return true;
                });
            }
            contact.addresses.push_back(std::move(address));
            break;
        }
        case kUrl:
            // The first web address is the contact's.
            if (!haveUrl) {
                contact.url = value;
                contact.urlLabel = label;
                haveUrl = true;
            }
            break;
        default:
            break;
        }
        return true;
    });
    if (!complete)
        m_lastError = values.errorMessage();
}

void QELContactsDbReader::readPicture(QELSQLiteStatement& pictures, QELContact& contact)
{
    pictures.reset();
    pictures.bindInt64(1, *contact.uid);
    const bool complete = pictures.forEachRow([&contact](const QELSQLiteStatement& row) {
        const QByteArray data = row.blob(0);
        if (!data.isEmpty())
            contact.picture = data;
        return true;
    });
    if (!complete && m_picturesError.isEmpty()) {
        m_picturesError = QStringLiteral("the pictures file %1 is damaged: %2")
                              .arg(QFileInfo(_dbPicturesPath).fileName(), pictures.errorMessage());
        qCWarning(lcOrvane).noquote() << m_picturesError;
    }
}
