#include "CopyToMacPreferences.h"

#include <QDir>
#include <QFileDialog>
#include <QHideEvent>
#include <QSettings>
#include <QShowEvent>
#include <QStandardPaths>

#include "FolderMediaLibraryHost.h"
#include "LocalizedStrings.h"
#include "QELPreferences.h"
#include "ui_CopyToMacPreferencesView.h"

namespace {

// The file name always ends with the track's name, so its last part is fixed.
constexpr int kTrackNamePosition = 5;

QString appendPathComponent(const QString& path, const QString& component)
{
    if (path.isEmpty())
        return component;
    return path.endsWith(QLatin1Char('/')) ? path + component : path + QLatin1Char('/') + component;
}

} // namespace

CopyToMacPreferences::CopyToMacPreferences(const QRect& frame, QWidget* parent)
    : QELPreferencesView(frame, parent)
    , m_ui(new Ui::CopyToMacPreferencesView)
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    connect(m_ui->buttonSaveLocationBrowse, &QPushButton::clicked, this,
            &CopyToMacPreferences::buttonSaveLocationBrowseClicked);
    connect(m_ui->buttonMusicLibraryBrowse, &QPushButton::clicked, this,
            &CopyToMacPreferences::buttonMusicLibraryBrowseClicked);
    connect(m_ui->textFieldSaveLocation, &QLineEdit::textChanged, this, &CopyToMacPreferences::_setExamplePath);
    for (QComboBox* list : {m_ui->folderLevelOne, m_ui->folderLevelTwo, m_ui->folderLevelThree,
                            m_ui->fileNameSegmentOne, m_ui->fileNameSegmentTwo, m_ui->fileNameSegmentThree})
        connect(list, &QComboBox::currentIndexChanged, this, &CopyToMacPreferences::_setExamplePath);

    _loadCurrentPreferences();
}

CopyToMacPreferences::~CopyToMacPreferences() { delete m_ui; }

QLineEdit* CopyToMacPreferences::textFieldSaveLocation() const { return m_ui->textFieldSaveLocation; }
QCheckBox* CopyToMacPreferences::checkBoxOverwriteExistingFiles() const { return m_ui->checkBoxOverwriteExistingFiles; }
QCheckBox* CopyToMacPreferences::checkBoxShowCopyCompleteMessage() const { return m_ui->checkBoxShowCopyCompleteMessage; }
QCheckBox* CopyToMacPreferences::checkBoxShowSetCopyLocation() const { return m_ui->checkBoxShowSetCopyLocation; }
QComboBox* CopyToMacPreferences::folderLevelOne() const { return m_ui->folderLevelOne; }
QComboBox* CopyToMacPreferences::folderLevelTwo() const { return m_ui->folderLevelTwo; }
QComboBox* CopyToMacPreferences::folderLevelThree() const { return m_ui->folderLevelThree; }
QComboBox* CopyToMacPreferences::fileNameSegmentOne() const { return m_ui->fileNameSegmentOne; }
QComboBox* CopyToMacPreferences::fileNameSegmentTwo() const { return m_ui->fileNameSegmentTwo; }
QComboBox* CopyToMacPreferences::fileNameSegmentThree() const { return m_ui->fileNameSegmentThree; }
QLabel* CopyToMacPreferences::textFieldExampleSavePath() const { return m_ui->textFieldExampleSavePath; }
QPushButton* CopyToMacPreferences::buttonSaveLocationBrowse() const { return m_ui->buttonSaveLocationBrowse; }
QLineEdit* CopyToMacPreferences::textFieldMusicLibraryFolder() const
{
    return m_ui->textFieldMusicLibraryFolder;
}
QPushButton* CopyToMacPreferences::buttonMusicLibraryBrowse() const
{
    return m_ui->buttonMusicLibraryBrowse;
}

void CopyToMacPreferences::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous() && isHidden())
        m_wasHidden = true;
    QELPreferencesView::hideEvent(event);
}

void CopyToMacPreferences::showEvent(QShowEvent* event)
{
    // A pane that was hidden reads the stored values afresh when it comes back.
    if (m_wasHidden) {
        m_wasHidden = false;
        _loadCurrentPreferences();
    }
    QELPreferencesView::showEvent(event);
}

void CopyToMacPreferences::_loadCurrentPreferences()
{
    m_ui->textFieldSaveLocation->setText(QELPreferences::CopyToMacSaveFolder());
    m_ui->checkBoxOverwriteExistingFiles->setChecked(QELPreferences::CopyToMacOverwriteFiles());
    m_ui->checkBoxShowCopyCompleteMessage->setChecked(QELPreferences::ShowCopyCompleteMessage());
    m_ui->checkBoxShowSetCopyLocation->setChecked(QELPreferences::ShowSetCopyLocationBeforeCopy());
    // A stored number outside a list leaves that list without a selection.
    m_ui->folderLevelOne->setCurrentIndex(QELPreferences::CopyToMacFolderLevelOne());
    m_ui->folderLevelTwo->setCurrentIndex(QELPreferences::CopyToMacFolderLevelTwo());
    m_ui->folderLevelThree->setCurrentIndex(QELPreferences::CopyToMacFolderLevelThree());
    m_ui->fileNameSegmentOne->setCurrentIndex(QELPreferences::CopyToMacFileNameSegmentOne());
    m_ui->fileNameSegmentTwo->setCurrentIndex(QELPreferences::CopyToMacFileNameSegmentTwo());
    m_ui->fileNameSegmentThree->setCurrentIndex(kTrackNamePosition);
    m_ui->fileNameSegmentThree->setEnabled(false);
    m_ui->textFieldMusicLibraryFolder->setText(FolderMediaLibraryHost().musicFolder());
    _setExamplePath();
}

void CopyToMacPreferences::_setExamplePath()
{
    QString path = m_ui->textFieldSaveLocation->text();
    for (const QComboBox* list : {m_ui->folderLevelOne, m_ui->folderLevelTwo, m_ui->folderLevelThree}) {
        if (list->currentIndex() > 0)
            path = appendPathComponent(path, list->currentText());
    }
    QString name;
    for (const QComboBox* list : {m_ui->fileNameSegmentOne, m_ui->fileNameSegmentTwo, m_ui->fileNameSegmentThree}) {
        if (list->currentIndex() <= 0)
            continue;
        if (!name.isEmpty())
            name += QLatin1Char('-');
        name += list->currentText();
    }
    m_ui->textFieldExampleSavePath->setText(path.endsWith(QLatin1Char('/')) ? path + name
                                                                            : path + QLatin1Char('/') + name);
}

void CopyToMacPreferences::buttonSaveLocationBrowseClicked()
{
    _chooseFolderFor(m_ui->textFieldSaveLocation);
}

void CopyToMacPreferences::buttonMusicLibraryBrowseClicked()
{
    _chooseFolderFor(m_ui->textFieldMusicLibraryFolder);
}

void CopyToMacPreferences::_chooseFolderFor(QLineEdit* field)
{
    if (m_folderPanel)
        return;
    m_folderPanel = new QFileDialog(this);
    m_folderPanel->setFileMode(QFileDialog::Directory);
    m_folderPanel->setOption(QFileDialog::ShowDirsOnly, true);
    m_folderPanel->setAcceptMode(QFileDialog::AcceptOpen);
    m_folderPanel->setLabelText(QFileDialog::Accept, L("SELECTFOLDER"));
    const QString current = field->text();
    if (!current.isEmpty())
        m_folderPanel->setDirectory(current);
    m_folderPanel->setWindowModality(Qt::WindowModal);
    connect(m_folderPanel, &QFileDialog::finished, this, [this, field](int result) {
        const QStringList chosen = m_folderPanel->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty() && !chosen.first().isEmpty())
            field->setText(chosen.first());
        m_folderPanel->deleteLater();
        m_folderPanel = nullptr;
    });
    m_folderPanel->open();
}

void CopyToMacPreferences::SavePreferencesInView()
{
    QSettings settings;
    // An emptied field would send copies nowhere in particular; the folder stays.
    const QString folder = m_ui->textFieldSaveLocation->text().trimmed();
    if (!folder.isEmpty())
        settings.setValue(QELPreferences::kCopyToMacSaveFolder, folder);
    // The desktop's own music folder is not pinned, so a later change of it is
    // followed; an emptied or relative field goes back to it.
    const QString music = QDir::cleanPath(m_ui->textFieldMusicLibraryFolder->text().trimmed());
    const QString musicKey = QLatin1String(FolderMediaLibraryHost::kMusicFolderKey);
    if (music.isEmpty() || !QDir::isAbsolutePath(music)
        || music
            == QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::MusicLocation)))
        settings.remove(musicKey);
    else
        settings.setValue(musicKey, music);
    settings.setValue(QELPreferences::kCopyToMacOverwriteFiles, m_ui->checkBoxOverwriteExistingFiles->isChecked() ? 1 : 0);
    settings.setValue(QELPreferences::kShowCopyCompleteMessage, m_ui->checkBoxShowCopyCompleteMessage->isChecked() ? 1 : 0);

    const std::pair<const QComboBox*, const QString*> lists[] = {
        {m_ui->folderLevelOne, &QELPreferences::kCopyToMacFolderLevelOne},
        {m_ui->folderLevelTwo, &QELPreferences::kCopyToMacFolderLevelTwo},
        {m_ui->folderLevelThree, &QELPreferences::kCopyToMacFolderLevelThree},
        {m_ui->fileNameSegmentOne, &QELPreferences::kCopyToMacFileNameSegmentOne},
        {m_ui->fileNameSegmentTwo, &QELPreferences::kCopyToMacFileNameSegmentTwo},
        {m_ui->fileNameSegmentThree, &QELPreferences::kCopyToMacFileNameSegmentThree},
    };
    for (const auto& [list, key] : lists) {
        if (list->currentIndex() >= 0)
            settings.setValue(*key, list->currentIndex());
    }
    settings.sync();
    QELPreferences::setShowSetCopyLocationBeforeCopy(m_ui->checkBoxShowSetCopyLocation->isChecked());
}
