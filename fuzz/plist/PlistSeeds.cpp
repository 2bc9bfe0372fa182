// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of fuzz_plist into the folder given.
#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "BinaryPlistBuilder.h"
#include "Plist.h"

namespace {

bool writeSeed(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    int written = 0;
    for (const ValidBinaryPlist& plist : validBinaryPlists())
        written += writeSeed(dir, QString::fromStdString(plist.name) + QStringLiteral(".bplist"),
                             plist.bytes);
    const QVariantMap everyType{
        {"text", QStringLiteral("Grüße & <tags>")},
        {"negative", qint64(-42)},
        {"real", 2.5},
        {"flag", true},
        {"data", QByteArray("\x00\x01\xff", 3)},
        {"date", QDateTime(QDate(2020, 5, 17), QTime(10, 30, 15), Qt::UTC)},
        {"list", QVariantList{1, QStringLiteral("two"), QVariantMap{{"k", 3}}}},
    };
    written += writeSeed(dir, QStringLiteral("everyType.bplist"),
                         Plist::serialize(everyType, Plist::Format::Binary));
    written += writeSeed(dir, QStringLiteral("everyType.xml"),
                         Plist::serialize(everyType, Plist::Format::Xml));
    std::printf("%d seeds in %s\n", written, qPrintable(dir.absolutePath()));
    return 0;
}
