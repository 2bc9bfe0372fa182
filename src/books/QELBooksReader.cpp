// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBooksReader.h"

#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Locations.h"
#include "Log.h"
#include "QELBooksListParser.h"
#include "QELDeviceInterface.h"
#include "ThreadCheck.h"

namespace QELBooksReader {

namespace {

const QString kBooksFolder = QStringLiteral("/Books");
const QString kMainList = QStringLiteral("/Books/Books.plist");
// As the books app names it, without a leading "/".
const QString kPurchasesList = QStringLiteral("Books/Purchases/Purchases.plist");

QString inTemporaryFolder(const QString& name)
{
    const QString folder = Locations::temporaryFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

// The bytes of the local copy of a device list: the old copy goes first, so
// a list the device no longer has is never read from an earlier run.
std::optional<QByteArray> copyOfList(QELDeviceInterface& device, const QString& devicePath,
                                     const QString& localPath, Result& result)
{
    if (localPath.isEmpty()) {
        result.problems << QStringLiteral(
                               "%1 could not be read: the temporary folder cannot be used")
                               .arg(devicePath);
        return std::nullopt;
    }
    QFile::remove(localPath);
    if (!device.fileExistsAtPath(devicePath))
        return std::nullopt;
    if (!device.copyFileFromDeviceAtToLocalPath(devicePath, localPath)) {
        qCWarning(lcOrvane) << "The book list could not be copied from the device:" << devicePath;
        result.problems << QStringLiteral("%1 could not be copied from the device").arg(devicePath);
        return std::nullopt;
    }
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problems
            << QStringLiteral("%1 could not be read: %2").arg(devicePath, file.errorString());
        return std::nullopt;
    }
    if (file.size() > QELBooksListParser::kMaxListBytes) {
        qCWarning(lcOrvane) << "The book list is too large to be read:" << devicePath
                            << file.size();
        result.problems << QStringLiteral("%1 is too large to be read (%2 bytes)")
                               .arg(devicePath)
                               .arg(file.size());
        return std::nullopt;
    }
    return file.readAll();
}

void addBooks(QELDeviceInterface& device, const QELBooksListParser::List& list,
              const QString& devicePath, const std::atomic<bool>* cancel, Result& result)
{
    if (!list.readable) {
        qCWarning(lcOrvane) << "The book list could not be read:" << devicePath << list.error;
        result.problems << QStringLiteral("%1 is damaged: %2").arg(devicePath, list.error);
        return;
    }
    for (QELBookDetails book : list.books) {
        if (cancel && cancel->load())
            return;
        QImage cover = book.path().isEmpty() ? QImage() : coverOf(device, book.path());
        book.setCoverArt(cover.isNull() ? defaultCover() : cover);
        result.books.append(book);
    }
}

std::optional<qint64> sizeOf(const QVariantMap& info)
{
    // "st_size" over the file service; a disk-mode volume's attributes name it
    // otherwise.
    for (const char* key : {"st_size", "NSFileSize"}) {
        const QVariant value = info.value(QLatin1String(key));
        if (!value.isValid())
            continue;
        bool ok = false;
        const qint64 size = value.toLongLong(&ok);
        if (ok)
            return size;
    }
    return std::nullopt;
}

QImage paintDefaultCover()
{
    // Our own cover: a cloth binding with a spine and a label, no text.
    constexpr int kWidth = 240;
    constexpr int kHeight = 320;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient cloth(0, 0, kWidth, kHeight);
    cloth.setColorAt(0, QColor(0x4a, 0x6f, 0x8f));
    cloth.setColorAt(1, QColor(0x2c, 0x45, 0x5c));
    QPainterPath body;
    body.addRoundedRect(QRectF(4, 2, kWidth - 8, kHeight - 4), 10, 10);
    painter.fillPath(body, cloth);
    painter.fillRect(QRectF(4, 2, 22, kHeight - 4), QColor(0, 0, 0, 60));
    painter.setPen(QPen(QColor(255, 255, 255, 70), 2));
    painter.drawLine(QPointF(30, 6), QPointF(30, kHeight - 6));
    QPainterPath label;
    label.addRoundedRect(QRectF(58, 78, 148, 70), 6, 6);
    painter.fillPath(label, QColor(0xf3, 0xec, 0xdc));
    painter.setPen(QPen(QColor(0x9a, 0x8c, 0x70), 3));
    painter.drawLine(QPointF(76, 104), QPointF(188, 104));
    painter.drawLine(QPointF(88, 122), QPointF(176, 122));
    painter.setPen(QPen(QColor(0xf3, 0xec, 0xdc, 160), 2));
    painter.drawLine(QPointF(58, 250), QPointF(206, 250));
    painter.drawLine(QPointF(58, 258), QPointF(206, 258));
    painter.end();
    return image;
}

} // namespace

std::optional<bool> isBooksAppPresent(QELDeviceInterface& device)
{
    assertNotOnGuiThread();
    const bool opened = device.StartAppsService();
    const bool present = opened && device.ApplicationIsPresent(QString::fromLatin1(kBooksAppID));
    // Closed whatever the answer: a connection left open would hold the
    // device's session for every later user of the apps services.
    device.StopAppsService();
    if (!opened)
        return std::nullopt;
    return present;
}

QString localMainListPath() { return inTemporaryFolder(QStringLiteral("Books.plist")); }

QString localPurchasesListPath()
{
    return inTemporaryFolder(QStringLiteral("BookPurchases.plist"));
}

Result readBooks(QELDeviceInterface& device, const std::atomic<bool>* cancel)
{
    assertNotOnGuiThread();
    Result result;
    if (!device.fileExistsAtPath(kBooksFolder)) {
        qCInfo(lcOrvane) << "/Books not present";
        return result;
    }
    result.booksFolderPresent = true;
    if (const auto bytes = copyOfList(device, kMainList, localMainListPath(), result))
        addBooks(device, QELBooksListParser::parseMainList(*bytes), kMainList, cancel, result);
    if (cancel && cancel->load())
        return result;
    if (const auto bytes = copyOfList(device, kPurchasesList, localPurchasesListPath(), result))
        addBooks(device, QELBooksListParser::parsePurchasesList(*bytes), kPurchasesList, cancel,
                 result);
    return result;
}

QImage coverOf(QELDeviceInterface& device, const QString& bookPath)
{
    assertNotOnGuiThread();
    if (bookPath.isEmpty())
        return {};
    const QString coverPath = bookPath + QStringLiteral("/iTunesArtwork");
    const std::optional<QVariantMap> info = device.getFileInfo(coverPath);
    if (!info)
        return {};
    const std::optional<qint64> size = sizeOf(*info);
    if (!size || *size <= 0)
        return {};
    if (*size > kMaxCoverBytes) {
        qCInfo(lcOrvane) << "A book's cover is too large to be read:" << coverPath << *size;
        return {};
    }
    const std::optional<QByteArray> bytes =
        device.getDataContentsAtPathStartingAtPostisionForLength(coverPath, 0,
                                                                 static_cast<quint32>(*size));
    if (!bytes || bytes->isEmpty())
        return {};
    QImage cover = QImage::fromData(*bytes);
    if (cover.isNull())
        return {};
    if (cover.width() > kMaxCoverSide || cover.height() > kMaxCoverSide)
        cover = cover.scaled(kMaxCoverSide, kMaxCoverSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    return cover;
}

QImage defaultCover()
{
    static const QImage cover = paintDefaultCover();
    return cover;
}

} // namespace QELBooksReader
