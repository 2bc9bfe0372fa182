#pragma once

#include <QString>

// The user's preferences, kept in QSettings (organisation and application
// "Orvane"). Each reader answers the stored value, or the key's default when
// it is absent. Numbers and booleans read back from the settings file as text
// ("1", "true") are read as numbers. Readers may be called from any thread;
// the writers run on the main thread.
class QELPreferences {
public:
    // The keys, for the preference panes and sheets that store values directly.
    static inline const QString kCopyToMacSaveFolder = QStringLiteral("CopyToMacSaveFolder");
    static inline const QString kCopyToMacOverwriteFiles =
        QStringLiteral("CopyToMacOverwriteFiles");
    static inline const QString kShowCopyCompleteMessage =
        QStringLiteral("ShowCopyCompleteMessage");
    static inline const QString kCopyToMacFolderLevelOne =
        QStringLiteral("CopyToMacFolderLevelOne");
    static inline const QString kCopyToMacFolderLevelTwo =
        QStringLiteral("CopyToMacFolderLevelTwo");
    static inline const QString kCopyToMacFolderLevelThree =
        QStringLiteral("CopyToMacFolderLevelThree");
    static inline const QString kCopyToMacFileNameSegmentOne =
        QStringLiteral("CopyToMacFileNameSegmentOne");
    static inline const QString kCopyToMacFileNameSegmentTwo =
        QStringLiteral("CopyToMacFileNameSegmentTwo");
    static inline const QString kCopyToMacFileNameSegmentThree =
        QStringLiteral("CopyToMacFileNameSegmentThree");
    static inline const QString kPlaybackVolume = QStringLiteral("PlaybackVolume");
    static inline const QString kShowArtwork = QStringLiteral("ShowArtwork");
    static inline const QString kShowSetCopyLocationBeforeCopy =
        QStringLiteral("ShowSetCopyLocationBeforeCopy");
    static inline const QString kCheckForUpdateOnStart = QStringLiteral("CheckForUpdateOnStart");
    static inline const QString kShowItemInICloud = QStringLiteral("ShowItemInICloud");
    static inline const QString kEjectIPodOnExit = QStringLiteral("EjectIPodOnExit");

    // The stored folder, else the Desktop folder joined with "Orvane"; null
    // when there is no Desktop folder.
    static QString CopyToMacSaveFolder();
    static bool CopyToMacOverwriteFiles(); // default false
    static bool ShowCopyCompleteMessage(); // default true
    // Folder levels: 0 none, 1 artist, 2 album, 3 genre.
    static int CopyToMacFolderLevelOne();   // default 1
    static int CopyToMacFolderLevelTwo();   // default 2
    static int CopyToMacFolderLevelThree(); // default 0
    // File-name segments: 0 none, 1 track number, 2 track count, 3 disc number,
    // 4 disc count, 5 track name, 6 artist, 7 album, 8 genre.
    static int CopyToMacFileNameSegmentOne();    // default 1
    static int CopyToMacFileNameSegmentTwo();    // default 0
    static int CopyToMacFileNameSegmentThree();  // default 5
    static double PlaybackVolume();              // 0 to 100, default 60
    static bool ShowArtwork();                   // default true
    static bool ShowSetCopyLocationBeforeCopy(); // default true
    static bool checkForUpdatesOnStartUp();      // default true
    static bool showItemsInICloud();             // default true
    static bool ejectIPodOnExit();               // default true

    // Stored as booleans.
    static void setShowArtwork(bool show);
    static void setShowSetCopyLocationBeforeCopy(bool show);
    // Stored as the integers 1 and 0.
    static void setCheckForUpdatesOnStartUp(bool check);
    static void setShowItemsInICloud(bool show);
    static void setEjectIPodOnExit(bool eject);
};
