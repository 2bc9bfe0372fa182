// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "Plist.h"
#include "QELDeviceConnectivityDelegate.h"
#include "SimulatedDeviceBuilder.h"

class QELDeviceInterface;
class SimulatedMobileDevice;

namespace BooksTest {

// The colours of the fixture covers.
constexpr quint32 kRed = 0xd03030;
constexpr quint32 kGreen = 0x30a040;
constexpr quint32 kBlue = 0x3050d0;

// A simulated iPhone with the books app, reached through a connected
// QELDeviceInterface. The builder describes the device until connect().
class Device : public QELDeviceConnectivityDelegate {
public:
    enum Apps { WithBooksApp, WithoutBooksApp };
    explicit Device(Apps apps = WithBooksApp);
    ~Device() override;

    SimulatedDeviceBuilder& builder() { return m_builder; }
    // Builds the folder and connects; false when it did not connect.
    bool connect();
    QELDeviceInterface& device() { return *m_interface; }
    QString afcRoot() const { return m_builder.afcRoot(); }
    // A scratch folder of the test, outside the device.
    QString scratch(const QString& name) const;
    // The device's calls so far ("Lookup", "fileInfo <path>", ...).
    QStringList callLog() const;

    // Called on the copy's thread when a file copy from the device starts.
    void setOnCommunicating(std::function<void(const QString& devicePath)> hook);

    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}
    void OnDeviceCommunicatingWithSourceFile(bool communicating,
                                             const QString& devicePath) override;

private:
    QTemporaryDir m_dir;
    SimulatedDeviceBuilder m_builder;
    std::shared_ptr<SimulatedMobileDevice> m_simulator;
    std::unique_ptr<QELDeviceInterface> m_interface;
    std::atomic<bool> m_connected{false};
    std::mutex m_hookMutex;
    std::function<void(const QString&)> m_onCommunicating;
};

// The library of the tests, in list order (main list, then purchases):
//   Report        /Books/Report.pdf, "pdf", a file (no cover of its own)
//   Moby Dick     /Books/B2.epub, "epub", an unpacked ePub with a red cover
//   Folder Book   /Books/C3, no extension: a PDF kept as a folder, green cover
//   a/b           /Books/D4.epub, "EPUB", empty cover
//   ..            /Books/E5.epub, "epub", a cover that is no image
//   (empty name)  /Books/F6.pdf, "PDF", persistent ID "F6"
//   Café ünï      /Books/G7.epub, "epub", blue cover
//   Bought        /Books/Purchases/P1.epub, "epub", "DSID" 4242 only
//   Cloud Only    no path (a purchase the device holds no file of)
// and two entries left out: one without "Path", one whose path climbs out.
void addLibrary(SimulatedDeviceBuilder& device, Plist::Format format = Plist::Format::Xml);
// The PDF bytes of the book "Report".
QByteArray reportPdf();

// Reads a whole local file; empty when it cannot be read.
QByteArray readLocalFile(const QString& path);
// Every file and folder below `root`, relative, folders ending in "/".
QStringList localTree(const QString& root);

} // namespace BooksTest
