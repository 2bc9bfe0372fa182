// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QRadioButton;

// The choices of a notes export: HTML or plain text (a warning shows while
// plain text is chosen: it leaves the attachments behind), and the file
// names: by title, by creation date or by last-modified date.
class QELNoteCopyOptionsWindowController : public QDialog {
    Q_OBJECT
public:
    explicit QELNoteCopyOptionsWindowController(QWidget* parent = nullptr);

    // 0x01 HTML, 0x10 creation date, 0x20 last-modified date (QELCopyNotes).
    int selectedOptions() const;

    QRadioButton* htmlButtonCell() const { return m_html; }
    QRadioButton* txtButtonCell() const { return m_txt; }
    QRadioButton* titleButtonCell() const { return m_title; }
    QRadioButton* createdDateButtonCell() const { return m_created; }
    QRadioButton* modifiedDateButtonCell() const { return m_modified; }
    QLabel* warningTextField() const { return m_warning; }

    void htmlButtonStateChanged();
    void txtButtonStateChanged();

private:
    QRadioButton* m_html = nullptr;
    QRadioButton* m_txt = nullptr;
    QRadioButton* m_title = nullptr;
    QRadioButton* m_created = nullptr;
    QRadioButton* m_modified = nullptr;
    QLabel* m_warning = nullptr;
};
