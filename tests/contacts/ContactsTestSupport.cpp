// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContactsTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include "TestEnvironment.h"

namespace {

// Reads each file with vobject and prints what it holds: every property's
// value as vobject decodes it (structured ones as their components).
const char* const kChecker = R"PY(
import base64, json, sys, vobject
out = []
for path in sys.argv[1:]:
    try:
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        cards = list(vobject.readComponents(text))
        if len(cards) != 1:
            raise ValueError("%d cards" % len(cards))
        card = cards[0]
        props = {}
        for child in card.getChildren():
            v = child.value
            if child.name == "N":
                v = [v.family, v.given, v.additional, v.prefix, v.suffix]
            elif child.name == "ADR":
                v = [v.box, v.extended, v.street, v.city, v.region, v.code, v.country]
            elif isinstance(v, bytes) and child.name == "PHOTO":
                v = base64.b64encode(v).decode("ascii")
            elif isinstance(v, bytes):
                v = v.decode("utf-8", "replace")
            elif not isinstance(v, (str, list)):
                v = str(v)
            props.setdefault(child.name, []).append(
                {"value": v, "params": {k: list(p) for k, p in child.params.items()}})
        out.append({"file": path, "props": props})
    except Exception as e:
        out.append({"file": path, "error": repr(e)})
print(json.dumps(out))
)PY";

} // namespace

std::unique_ptr<QELContactsDbReader> loadedReader(const AddressBookFixture& book,
                                                  const AddressBookImagesFixture* images)
{
    static int serial = 0;
    const QString folder = TestEnvironment::home() + QStringLiteral("/fixture-%1").arg(++serial);
    EXPECT_TRUE(QDir().mkpath(folder));
    const QString bookPath = folder + QStringLiteral("/AddressBook.sqlitedb");
    QString error;
    EXPECT_TRUE(book.write(bookPath, &error)) << error.toStdString();
    QString picturesPath;
    if (images) {
        picturesPath = folder + QStringLiteral("/AddressBookImages.sqlitedb");
        EXPECT_TRUE(images->write(picturesPath, &error)) << error.toStdString();
    }
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(bookPath, picturesPath);
    EXPECT_TRUE(reader);
    if (reader) {
        EXPECT_TRUE(reader->loadContacts());
    }
    return reader;
}

QELContactPtr contactWithUid(const QELContactsReader& reader, qint64 uid)
{
    for (const QELContactPtr& contact : reader.getContacts()) {
        if (contact->uid == uid)
            return contact;
    }
    return nullptr;
}

QELContactPtr makeContact(qint64 uid, const QString& given, const QString& family,
                          const QString& organisation)
{
    auto contact = std::make_shared<QELContact>();
    contact->uid = uid;
    auto optional = [](const QString& text) {
        return text.isNull() ? std::nullopt : std::optional<QString>(text);
    };
    contact->givenName = optional(given);
    contact->familyName = optional(family);
    contact->organisation = optional(organisation);
    QString fn = family.isNull() ? QString() : family;
    if (!given.isEmpty())
        fn += (fn.isEmpty() ? QString() : QStringLiteral(", ")) + given;
    contact->FN = fn;
    contact->searchReference = fn.isEmpty() ? contact->organisation : contact->FN;
    return contact;
}

QStringList unfoldedLines(const QByteArray& text)
{
    return QString::fromUtf8(text).replace("\r\n ", "").split("\r\n", Qt::SkipEmptyParts);
}

QStringList withPrefix(const QStringList& lines, const QString& prefix)
{
    QStringList found;
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

QByteArray vobjectReading(const QStringList& files, QString* error)
{
    QProcess python;
    python.start(QStringLiteral(ORVANE_SYSTEM_PYTHON),
                 QStringList{QStringLiteral("-c"), QString::fromLatin1(kChecker)} + files);
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        *error = QString::fromUtf8(python.readAllStandardError());
        if (error->isEmpty())
            *error = python.errorString();
        return {};
    }
    return python.readAllStandardOutput();
}

QByteArray pictureBytes(const char* format, int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QELContactPtr contactWithPicture(qint64 uid, const QByteArray& picture)
{
    QELContactPtr c = makeContact(uid, QStringLiteral("Dana"), QStringLiteral("Whitfield"));
    c->birthday = QDate(1984, 2, 29);
    for (const char* nick : {"Dee", "D, the second"}) {
        auto n = std::make_shared<QELContactNickName>();
        n->nickName = QString::fromUtf8(nick);
        c->nickNames.push_back(n);
    }
    c->picture = picture;
    return c;
}
