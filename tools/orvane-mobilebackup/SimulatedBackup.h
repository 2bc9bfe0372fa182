#pragma once

#include <QString>

struct SimulatedDevice;

// Backs up a simulated device in the Manifest.mbdb layout: every file of
// <device>/backup/<Domain>/<path> is stored flat under its identifier (the
// SHA-1 of "<Domain>-<path>"), described by Manifest.mbdb and indexed by
// Manifest.mbdx, with Manifest.plist and Status.plist. A device with a
// backup password gets an encrypted backup. The new backup is built beside the
// old one and replaces it only when complete. Answers the exit status.
int backUpSimulatedDevice(const SimulatedDevice& device, const QString& udid, const QString& backupRoot);

// Writes the backup's files back into the simulated device's backup folder.
int restoreSimulatedDevice(const SimulatedDevice& device, const QString& backupFolder, const std::optional<QString>& password);
