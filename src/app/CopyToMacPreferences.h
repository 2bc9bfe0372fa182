#pragma once

#include "QELPreferencesView.h"

namespace Ui {
class CopyToMacPreferencesView;
}
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The Copy to Mac pane: the save folder, overwriting, the copy messages, and
// the folders and file name of copied tracks, with a live example path, and
// the music folder that Copy to Music fills.
class CopyToMacPreferences : public QELPreferencesView {
    Q_OBJECT
public:
    explicit CopyToMacPreferences(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~CopyToMacPreferences() override;

    void SavePreferencesInView() override;
    // Opens the folder chooser; a chosen folder replaces the save location.
    void buttonSaveLocationBrowseClicked();
    // The same for the music library folder.
    void buttonMusicLibraryBrowseClicked();

    QLineEdit* textFieldSaveLocation() const;
    QCheckBox* checkBoxOverwriteExistingFiles() const;
    QCheckBox* checkBoxShowCopyCompleteMessage() const;
    QCheckBox* checkBoxShowSetCopyLocation() const;
    QComboBox* folderLevelOne() const;
    QComboBox* folderLevelTwo() const;
    QComboBox* folderLevelThree() const;
    QComboBox* fileNameSegmentOne() const;
    QComboBox* fileNameSegmentTwo() const;
    QComboBox* fileNameSegmentThree() const;
    QLabel* textFieldExampleSavePath() const;
    QPushButton* buttonSaveLocationBrowse() const;
    QLineEdit* textFieldMusicLibraryFolder() const;
    QPushButton* buttonMusicLibraryBrowse() const;
    // The folder chooser while it is open, else null.
    QFileDialog* folderPanel() const { return m_folderPanel; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void _loadCurrentPreferences();
    void _setExamplePath();
    void _chooseFolderFor(QLineEdit* field);

    Ui::CopyToMacPreferencesView* m_ui;
    QFileDialog* m_folderPanel = nullptr;
    bool m_wasHidden = false;
};
