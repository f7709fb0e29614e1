#pragma once

#include "library/Script.h"

#include <QWidget>

#include <functional>

class DatabaseManager;
class QListWidget;
class QPushButton;

// The script library tab: the stored scripts, newest first, and the action
// that sends one to the recording tab.
class ScriptsListView : public QWidget {
    Q_OBJECT

public:
    using RecordAction = std::function<void(const Script &)>;

    ScriptsListView(DatabaseManager *dbManager, RecordAction onRecordWithScript, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    void recordSelected();

private:
    void reload();

    DatabaseManager *m_dbManager;
    RecordAction m_onRecordWithScript;
    QListWidget *m_list = nullptr;
    QPushButton *m_recordButton = nullptr;
};
