#pragma once

#include "library/Script.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class DatabaseManager;
class QAction;
class QListView;
class QMenu;
class QStackedWidget;
class ScriptEditMode;
class ScriptEditSheet;
class ScriptListModel;
class ScriptRow;
class ScriptsEmptyState;
class ScriptsHeaderBar;

// The script library tab. It draws the store's published scripts and changes
// the library only through the store; adding and editing happen in a modal
// editor, and a chosen script is handed to the recording tab.
class ScriptsListView : public QWidget {
    Q_OBJECT

public:
    using RecordAction = std::function<void(const Script &)>;

    ScriptsListView(DatabaseManager *dbManager, RecordAction onRecordWithScript, QWidget *parent = nullptr);
    ~ScriptsListView() override;

    bool showingAddSheet() const { return m_showingAddSheet; }
    void setShowingAddSheet(bool showing);
    const std::optional<Script> &editingScript() const { return m_editingScript; }
    void setEditingScript(const std::optional<Script> &script);
    // Setting a script hands it over; the value then returns to absent, so the
    // same script can be chosen again.
    const std::optional<Script> &scriptToRecord() const { return m_scriptToRecord; }
    void setScriptToRecord(const std::optional<Script> &script);

    ScriptsHeaderBar *header() const { return m_header; }
    ScriptsEmptyState *emptyState() const { return m_emptyState; }
    QListView *listView() const { return m_listView; }
    ScriptListModel *model() const { return m_model; }
    ScriptRow *rowDelegate() const { return m_rowDelegate; }
    bool isShowingEmptyState() const;

    QMenu *contextMenu() const { return m_menu; }
    QAction *editAction() const { return m_editAction; }
    QAction *recordAction() const { return m_recordAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    // The script the context menu was last opened on.
    const std::optional<Script> &menuScript() const { return m_menuScript; }

    ScriptEditSheet *presentedSheet() const;

    // Where a row's text lies in the list's viewport; double clicks count there only.
    QRect textRect(int row) const;

Q_SIGNALS:
    void showingAddSheetChanged();
    void editingScriptChanged();
    void scriptToRecordChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildList();
    void buildMenu();
    void showContextMenu(int row, const QPoint &position);
    void showKeyboardFocus(bool shown);
    void updateContent();
    void handOver();
    void present(const ScriptEditMode &mode);
    void dismissSheet();

    DatabaseManager *m_dbManager;
    RecordAction m_onRecordWithScript;

    bool m_showingAddSheet = false;
    std::optional<Script> m_editingScript;
    std::optional<Script> m_scriptToRecord;
    std::optional<Script> m_menuScript;
    bool m_revealTopOnRepublish = false;

    ScriptsHeaderBar *m_header = nullptr;
    QStackedWidget *m_content = nullptr;
    ScriptsEmptyState *m_emptyState = nullptr;
    QListView *m_listView = nullptr;
    ScriptListModel *m_model = nullptr;
    ScriptRow *m_rowDelegate = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_recordAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QPointer<ScriptEditSheet> m_sheet;
};
