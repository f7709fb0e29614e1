#pragma once

#include "ui/scripts/ScriptEditMode.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The modal editor of one script's title and text. It only checks that the
// title is not blank; what saving means is up to the action it is given.
class ScriptEditSheet : public QDialog {
    Q_OBJECT

public:
    using SaveAction = std::function<void(const QString &title, const QString &content)>;

    static constexpr int sheetWidth = 500;
    static constexpr int sheetHeight = 380;
    static constexpr int minimumBodyHeight = 200;

    ScriptEditSheet(ScriptEditMode mode, SaveAction onSave, QWidget *parent = nullptr);

    const ScriptEditMode &mode() const { return m_mode; }

    QString title() const;
    // The body exactly as it stands, without the editor's own normalising.
    QString content() const;

    // Blank: nothing left once space separators and tabs are cut from both
    // ends. A line break counts as text.
    static bool isBlank(const QString &title);

    // Saves and closes, unless the title is blank.
    void save();

    QLabel *heading() const { return m_heading; }
    QLineEdit *titleField() const { return m_titleField; }
    QPlainTextEdit *bodyEditor() const { return m_bodyEditor; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *saveButton() const { return m_saveButton; }

private:
    void buildLayout();
    void updateSaveEnabled();

    ScriptEditMode m_mode;
    SaveAction m_onSave;
    QString m_initialContent;
    QString m_loadedContent;

    QLabel *m_heading = nullptr;
    QLineEdit *m_titleField = nullptr;
    QPlainTextEdit *m_bodyEditor = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_saveButton = nullptr;
};
