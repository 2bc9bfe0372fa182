// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The file browser's new-folder sheet: a name field (starting with the text
// of "NEWFOLDERNAME") and a line that says why a name is refused. Window-modal
// on the browser's window; closed by its own buttons only.
class QELFilesNewFolderSheet : public QDialog {
    Q_OBJECT
public:
    explicit QELFilesNewFolderSheet(QWidget* parent);

    QLineEdit* nameField() const { return m_name; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Shows why the typed name was not taken; an empty text hides the line.
    void setProblem(const QString& text);
    QString problem() const;

private:
    QLineEdit* m_name;
    QLabel* m_problem;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

// The file browser's delete confirmation: how many items and each one's name.
class QELFilesDeleteSheet : public QDialog {
    Q_OBJECT
public:
    explicit QELFilesDeleteSheet(QWidget* parent);

    // Lists the items about to be deleted (device paths).
    void setItems(const QStringList& paths);
    QStringList items() const { return m_items; }
    QLabel* nameLabel() const { return m_label; }
    QListWidget* nameList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    QStringList m_items;
    QLabel* m_label;
    QListWidget* m_list;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
