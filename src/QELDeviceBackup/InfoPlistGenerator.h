#pragma once

#include <QString>

// Writes the Info.plist of a device backup folder.
class InfoPlistGenerator {
public:
    // Sets "GUID", "Last Backup Date", "Target Identifier", "Target Type" and
    // "Unique Identifier", and, when name, model and version are all given,
    // "Device Name", "Display Name", "Product Type" and "Product Version".
    // Keys of an existing Info.plist that are not among these stay as they
    // are (the backup tool may have written more). The file is written under
    // a temporary name and renamed. False when it could not be written.
    static bool GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(const QString& path, const QString& deviceID, const QString& name,
                                                                          const QString& model, const QString& version);
};
