// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsDbReader.h"

#include <QFileInfo>
#include <QSet>

#include "DeviceTime.h"
#include "Log.h"
#include "QELContactStore.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

// ABMultiValue.property
constexpr qint64 kPhone = 3;
constexpr qint64 kEmail = 4;
constexpr qint64 kPostalAddress = 5;
constexpr qint64 kUrl = 22;

// A table of the file, or a view a hostile file put in its place (which the
// read then meets and its budget ends).
bool hasTable(sqlite3* db, const char* table)
{
    return QELSQLiteHelper::doesDatabaseContainTableOrView(db, QLatin1String(table));
}

// The first failure of a statement ends the read it belongs to.
void failed(const char* what, const QELSQLiteStatement& statement)
{
    QELSQLiteStepBudget::failStatement("Contacts", what, statement.errorMessage());
}

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
    std::vector<std::shared_ptr<QELContact>> people;
    {
        // Every statement of the address book shares one budget, and the
        // first that fails ends the read.
        const QELSQLiteStepBudget::Read whole(m_readBudget);
        QString error;
        _contactsDatabase = QELSQLiteDatabase::openCopyReadOnly(_dbPath, &error);
        if (!_contactsDatabase.isOpen()) {
            m_lastError = error;
            qCWarning(lcOrvane) << "cannot open the address book" << _dbPath << error;
        } else {
            readLabels();
            if (!whole.failed())
                readPeople(people);
            _contactsDatabase.close();
        }
        if (whole.failed()) {
            m_lastError = whole.error();
            people.clear();
        }
    }
    if (!people.empty())
        readPictures(people);
    for (std::shared_ptr<QELContact>& contact : people) {
        QELContactPtr stored = m_store->insertContact();
        *stored = std::move(*contact);
    }
    // Saves the store too.
    mergeIdenticalContacts();
    return true;
}

void QELContactsDbReader::readLabels()
{
    m_labels.clear();
    sqlite3* db = _contactsDatabase.handle();
    if (!hasTable(db, "ABMultiValueLabel"))
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
        failed("the labels", rows);
}

void QELContactsDbReader::readPeople(std::vector<std::shared_ptr<QELContact>>& contacts)
{
    sqlite3* db = _contactsDatabase.handle();
    if (!hasTable(db, "ABPerson")) {
        m_lastError = QStringLiteral("the address book has no ABPerson table");
        return;
    }
    QELSQLiteStatement people(db, QStringLiteral("SELECT ROWID, * FROM ABPerson"));
    if (!people.isPrepared()) {
        failed("the people", people);
        return;
    }

    QELSQLiteStatement values;
    QELSQLiteStatement parts;
    if (hasTable(db, "ABMultiValue")) {
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
        if (columns.contains(QStringLiteral("uid")) && hasTable(db, "ABMultiValueEntry")
            && hasTable(db, "ABMultiValueEntryKey"))
            parts = QELSQLiteStatement(
                db,
                QStringLiteral("SELECT vek.value, ve.value FROM ABMultiValue mv INNER JOIN "
                               "ABMultiValueEntry ve ON mv.UID = ve.parent_id INNER JOIN "
                               "ABMultiValueEntryKey vek ON ve.key = vek.ROWID "
                               "WHERE mv.record_id = ?1 AND mv.UID = ?2 ORDER BY ve.ROWID"));
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

        if (values.isPrepared()) {
            readValues(values, parts, *contact);
            // The first failure ends the read.
            if (QELSQLiteStepBudget::Read::current()
                && QELSQLiteStepBudget::Read::current()->failed())
                return false;
        }
        contacts.push_back(std::move(contact));
        return true;
    });
    if (!complete)
        failed("the people", people);
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
                const bool whole = parts.forEachRow([&address](const QELSQLiteStatement& part) {
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
                if (!whole) {
                    failed("the parts of the addresses", parts);
                    return false;
                }
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
    // A stop for a failed part has said why already.
    if (!complete && !values.failed() && QELSQLiteStepBudget::Read::current()
        && QELSQLiteStepBudget::Read::current()->failed())
        return;
    if (!complete)
        failed("the values of the people", values);
}

void QELContactsDbReader::readPictures(const std::vector<std::shared_ptr<QELContact>>& people)
{
    if (_dbPicturesPath.isEmpty() || !QFileInfo(_dbPicturesPath).isFile())
        return;
    const QString picturesFile = QFileInfo(_dbPicturesPath).fileName();
    if (QFileInfo(_dbPicturesPath).size() == 0) {
        m_picturesError = QStringLiteral("the pictures file %1 is empty").arg(picturesFile);
        qCWarning(lcOrvane).noquote() << m_picturesError;
        return;
    }
    // The pictures are a read of their own, with a budget of their own: a
    // statement that fails ends it, and no contact keeps a picture.
    const QELSQLiteStepBudget::Read whole(m_readBudget);
    QString error;
    _contactsPicturesDatabase = QELSQLiteDatabase::openCopyReadOnly(_dbPicturesPath, &error);
    if (!_contactsPicturesDatabase.isOpen()) {
        m_picturesError =
            QStringLiteral("the pictures file %1 is damaged: %2").arg(picturesFile, error);
        qCWarning(lcOrvane).noquote() << m_picturesError;
        return;
    }
    sqlite3* images = _contactsPicturesDatabase.handle();
    QELSQLiteStatement pictures;
    // Older systems keep the picture in ABImage, later ones the full size in
    // ABFullSizeImage beside a thumbnail.
    for (const char* table : {"ABImage", "ABFullSizeImage", "ABThumbnailImage"}) {
        if (!hasTable(images, table))
            continue;
        const QString name = QLatin1String(table);
        const QSet<QString> columns = columnsOf(images, name);
        if (columns.contains(QStringLiteral("record_id"))
            && columns.contains(QStringLiteral("data")))
            pictures = QELSQLiteStatement(
                images,
                QStringLiteral("SELECT data FROM %1 WHERE record_id = ?1 ORDER BY ROWID")
                    .arg(name));
        if (!pictures.isPrepared() && columns.contains(QStringLiteral("record_id"))
            && columns.contains(QStringLiteral("data")))
            failed("the pictures", pictures);
        break;
    }
    QHash<const QELContact*, QByteArray> found;
    if (pictures.isPrepared()) {
        for (const std::shared_ptr<QELContact>& contact : people) {
            pictures.reset();
            pictures.bindInt64(1, *contact->uid);
            QByteArray picture;
            const bool complete = pictures.forEachRow([&picture](const QELSQLiteStatement& row) {
                const QByteArray data = row.blob(0);
                if (!data.isEmpty())
                    picture = data;
                return true;
            });
            if (!complete) {
                failed("the pictures", pictures);
                break;
            }
            if (!picture.isNull())
                found.insert(contact.get(), picture);
        }
    }
    _contactsPicturesDatabase.close();
    if (whole.failed()) {
        m_picturesError = picturesFile + QStringLiteral(": ") + whole.error();
    } else if (!pictures.isPrepared()) {
        m_picturesError =
            QStringLiteral("the pictures file %1 holds no picture table").arg(picturesFile);
    } else {
        for (const std::shared_ptr<QELContact>& contact : people) {
            if (const auto picture = found.constFind(contact.get()); picture != found.cend())
                contact->picture = *picture;
        }
    }
    if (!m_picturesError.isEmpty())
        qCWarning(lcOrvane).noquote() << m_picturesError;
}
