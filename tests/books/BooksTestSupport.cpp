// SPDX-License-Identifier: GPL-3.0-or-later
#include "BooksTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "BooksFixture.h"
#include "IPodFramework.h"
#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceInterface.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

namespace BooksTest {

using BooksFixture::Entry;

Device::Device(Apps apps)
    : m_builder(m_dir.filePath(QStringLiteral("phone")))
{
    if (apps == WithBooksApp)
        BooksFixture::addBooksApp(m_builder);
}

Device::~Device()
{
    if (m_interface) {
        m_interface->shutdown();
        m_interface->setDelegate(nullptr);
    }
}

bool Device::connect()
{
    if (m_builder.build().isEmpty())
        return false;
    m_simulator = std::make_shared<SimulatedMobileDevice>(QStringList{m_builder.folder()});
    m_interface = std::make_unique<QELDeviceInterface>(
        m_simulator, std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
    m_interface->setDelegate(this);
    m_interface->BeginDeviceConnectionDetect();
    return waitUntil([this] { return m_connected.load(); });
}

QString Device::scratch(const QString& name) const
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(path);
    return path;
}

QStringList Device::callLog() const
{
    const QStringList devices = m_simulator->attachedDevices();
    return devices.isEmpty() ? QStringList() : m_simulator->callLog(devices.constFirst());
}

void Device::setOnCommunicating(std::function<void(const QString&)> hook)
{
    std::lock_guard lock(m_hookMutex);
    m_onCommunicating = std::move(hook);
}

void Device::OnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    if (arguments.success())
        m_connected = true;
}

void Device::OnDeviceCommunicatingWithSourceFile(bool communicating, const QString& devicePath)
{
    std::function<void(const QString&)> hook;
    {
        std::lock_guard lock(m_hookMutex);
        hook = m_onCommunicating;
    }
    if (communicating && hook)
        hook(devicePath);
}

QByteArray reportPdf() { return BooksFixture::pdf(QStringLiteral("Quarterly Report")); }

void addLibrary(SimulatedDeviceBuilder& device, Plist::Format format)
{
    using BooksFixture::png;
    auto epub = [&device](const QString& folder, const QString& title) {
        for (const auto& [path, bytes] : BooksFixture::epubFolder(title))
            device.afcFile(folder + QLatin1Char('/') + path, bytes);
    };
    device.afcFile(QStringLiteral("Books/Report.pdf"), reportPdf());
    epub(QStringLiteral("Books/B2.epub"), QStringLiteral("Moby Dick"));
    device.afcFile(QStringLiteral("Books/B2.epub/iTunesArtwork"), png(60, 80, kRed, kRed));
    device.afcFile(QStringLiteral("Books/C3/Report Part 1.pdf"), BooksFixture::pdf("Part 1"));
    device.afcFile(QStringLiteral("Books/C3/Appendix/Part 2.pdf"), BooksFixture::pdf("Part 2"));
    device.afcFile(QStringLiteral("Books/C3/iTunesArtwork"), png(60, 80, kGreen, kGreen));
    epub(QStringLiteral("Books/D4.epub"), QStringLiteral("a/b"));
    device.afcFile(QStringLiteral("Books/D4.epub/iTunesArtwork"), QByteArray());
    epub(QStringLiteral("Books/E5.epub"), QStringLiteral(".."));
    device.afcFile(QStringLiteral("Books/E5.epub/iTunesArtwork"), "not a picture at all");
    device.afcFile(QStringLiteral("Books/F6.pdf"), BooksFixture::pdf("Untitled"));
    epub(QStringLiteral("Books/G7.epub"), QStringLiteral("Café ünï"));
    device.afcFile(QStringLiteral("Books/G7.epub/iTunesArtwork"), png(600, 800, kBlue, kBlue));
    epub(QStringLiteral("Books/Purchases/P1.epub"), QStringLiteral("Bought"));

    const QList<Entry> main{
        {QStringLiteral("Report"),
         QStringLiteral("A1"),
         {},
         QStringLiteral("Ann Author"),
         QStringLiteral("Report.pdf"),
         QStringLiteral("pdf"),
         {}},
        {QStringLiteral("Moby Dick"),
         QStringLiteral("B2"),
         {},
         QStringLiteral("Herman Melville"),
         QStringLiteral("B2.epub"),
         QStringLiteral("epub"),
         {}},
        {QStringLiteral("No Path"), QStringLiteral("X1"), {}, {}, {}, QStringLiteral("epub"), {}},
        {QStringLiteral("Folder Book"), QStringLiteral("C3"), {}, {}, QStringLiteral("C3"), {}, {}},
        {QStringLiteral("a/b"),
         QStringLiteral("D4"),
         {},
         {},
         QStringLiteral("D4.epub"),
         QStringLiteral("EPUB"),
         {}},
        {QStringLiteral("Escape"),
         QStringLiteral("X2"),
         {},
         {},
         QStringLiteral("../Purchases/../../etc"),
         QStringLiteral("epub"),
         {}},
        {QStringLiteral(".."),
         QStringLiteral("E5"),
         {},
         {},
         QStringLiteral("E5.epub"),
         QStringLiteral("epub"),
         {}},
        {QString(),
         QStringLiteral("F6"),
         {},
         {},
         QStringLiteral("F6.pdf"),
         QStringLiteral("PDF"),
         {}},
        {QStringLiteral("Café ünï"),
         QStringLiteral("G7"),
         {},
         QStringLiteral("Zoë"),
         QStringLiteral("G7.epub"),
         QStringLiteral("epub"),
         {}},
    };
    const QList<Entry> purchases{
        {QStringLiteral("Bought"),
         {},
         QVariant(qint64(4242)),
         QStringLiteral("Seller"),
         QStringLiteral("P1.epub"),
         QStringLiteral("epub"),
         {}},
        {QStringLiteral("Cloud Only"),
         QStringLiteral("H8"),
         {},
         {},
         {},
         QStringLiteral("epub"),
         {}},
    };
    device.afcFile(QStringLiteral("Books/Books.plist"), BooksFixture::mainList(main, format));
    device.afcFile(QStringLiteral("Books/Purchases/Purchases.plist"),
                   BooksFixture::purchasesList(purchases, format));
}

QByteArray readLocalFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList localTree(const QString& root)
{
    QStringList tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        tree << (it.fileInfo().isDir() ? relative + QLatin1Char('/') : relative);
    }
    tree.sort();
    return tree;
}

} // namespace BooksTest
