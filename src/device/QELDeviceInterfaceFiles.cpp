// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceInterface.h"

bool QELDeviceInterface::fileExistsAtPath(const QString&) const { return false; }
std::optional<QVariantMap> QELDeviceInterface::getFileInfo(const QString&) const { return std::nullopt; }
bool QELDeviceInterface::isDirectoryAtPath(const QString&) const { return false; }
bool QELDeviceInterface::makeDir(const QString&) const { return false; }
std::optional<QStringList> QELDeviceInterface::directoryContents(const QString&) const { return std::nullopt; }
std::optional<QByteArray> QELDeviceInterface::getDataContentsAtPathStartingAtPostisionForLength(const QString&, quint64, quint32) const { return std::nullopt; }
bool QELDeviceInterface::copyFileFromDeviceAtToLocalPath(const QString&, const QString&, const std::atomic<bool>*) { return false; }
bool QELDeviceInterface::copyDirectoryFromDeviceAtToLocalPath(const QString&, const QString&, const std::atomic<bool>*) { return false; }
bool QELDeviceInterface::copyLocalFileAtToDevicePath(const QString&, const QString&) { return false; }
bool QELDeviceInterface::deletePath(const QString&) { return false; }
bool QELDeviceInterface::renamePath(const QString&, const QString&) { return false; }
QString QELDeviceInterface::fullStandardDevicePathWithPath(const QString&) const { return {}; }
void QELDeviceInterface::setCancelFileOperation(bool cancel) { m_cancelFileOperation = cancel; }
bool QELDeviceInterface::modifyITunesPreferences() { return false; }
void QELDeviceInterface::restoreITunesPreferences() {}
bool QELDeviceInterface::connectToFileRelayService() { return false; }
bool QELDeviceInterface::requestFileRelaySource(const QStringList&) { return false; }
bool QELDeviceInterface::receiveFileRelayItem(const QString&) { return false; }
void QELDeviceInterface::disconnectFileRelayService() {}
bool QELDeviceInterface::copyFileFromAfc(AfcConnection&, const QString&, const QString&, const std::atomic<bool>*, quint64) { return false; }
bool QELDeviceInterface::copyDirectoryWorker(const QString&, const QString&, const std::atomic<bool>*, int) { return false; }
