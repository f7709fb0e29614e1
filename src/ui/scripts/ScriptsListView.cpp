#include "ui/scripts/ScriptsListView.h"

#include "library/DatabaseManager.h"
#include "ui/common/AppFont.h"
#include "ui/common/DestructiveMenuStyle.h"
#include "ui/common/UiStyle.h"
#include "ui/scripts/ScriptEditSheet.h"
#include "ui/scripts/ScriptListModel.h"
#include "ui/scripts/ScriptRow.h"
#include "ui/scripts/ScriptScrollAnchor.h"
#include "ui/scripts/ScriptsEmptyState.h"
#include "ui/scripts/ScriptsHeaderBar.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

ScriptsListView::ScriptsListView(DatabaseManager *dbManager, RecordAction onRecordWithScript, QWidget *parent)
    : QWidget(parent), m_dbManager(dbManager), m_onRecordWithScript(std::move(onRecordWithScript))
{
    setFont(AppFont::pixelFont(13));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = new ScriptsHeaderBar(this);
    layout->addWidget(m_header);

    auto *divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAttribute(Qt::WA_StyledBackground);
    divider->setStyleSheet(
        QStringLiteral("background: %1;").arg(UiStyle::separator(palette(), QPalette::Text).name(QColor::HexArgb)));
    layout->addWidget(divider);

    m_content = new QStackedWidget(this);
    m_content->setAutoFillBackground(true);
    m_content->setBackgroundRole(QPalette::Base);
    m_emptyState = new ScriptsEmptyState(m_content);
    m_content->addWidget(m_emptyState);
    buildList();
    m_content->addWidget(m_listView);
    layout->addWidget(m_content, 1);
    buildMenu();

    connect(m_header, &ScriptsHeaderBar::addRequested, this, [this] { setShowingAddSheet(true); });
    connect(this, &ScriptsListView::scriptToRecordChanged, this, &ScriptsListView::handOver);
    updateContent();
}

ScriptsListView::~ScriptsListView()
{
    // The sheet belongs to the window, which may outlive this screen.
    delete m_sheet.data();
}

void ScriptsListView::buildList()
{
    m_model = new ScriptListModel(m_dbManager, this);
    m_rowDelegate = new ScriptRow(this);
    m_listView = new QListView(m_content);
    m_listView->setModel(m_model);
    m_listView->setItemDelegate(m_rowDelegate);
    // Every row is as tall as the first, so thousands of scripts lay out at once.
    m_listView->setUniformItemSizes(true);
    m_listView->setSelectionMode(QAbstractItemView::NoSelection);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listView->setFrameShape(QFrame::NoFrame);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView->setAccessibleName(QStringLiteral("提示词列表"));
    m_listView->viewport()->installEventFilter(this);
    m_listView->installEventFilter(this);

    new ScriptScrollAnchor(m_listView, m_model);
    connect(m_model, &ScriptListModel::republished, this, [this] {
        updateContent();
        if (m_revealTopOnRepublish) {
            m_revealTopOnRepublish = false;
            m_listView->scrollToTop();
        }
    });
    connect(m_listView, &QListView::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_listView->indexAt(position);
        if (index.isValid()) {
            showContextMenu(index.row(), position);
        }
    });
}

void ScriptsListView::buildMenu()
{
    m_menu = new QMenu(this);
    m_menu->setFont(AppFont::pixelFont(13));
    m_menu->setStyle(new DestructiveMenuStyle(m_menu));
    m_editAction = m_menu->addAction(QStringLiteral("编辑"));
    m_recordAction = m_menu->addAction(QStringLiteral("录制此提示词"));
    m_menu->addSeparator();
    m_deleteAction = m_menu->addAction(QStringLiteral("删除"));
    DestructiveMenuStyle::markDestructive(m_deleteAction);

    connect(m_editAction, &QAction::triggered, this, [this] { setEditingScript(m_menuScript); });
    connect(m_recordAction, &QAction::triggered, this, [this] { setScriptToRecord(m_menuScript); });
    connect(m_deleteAction, &QAction::triggered, this, [this] {
        if (m_menuScript && m_dbManager) {
            m_dbManager->deleteScript(m_menuScript->id);
        }
    });
    connect(m_menu, &QMenu::aboutToHide, this, [this] {
        m_rowDelegate->setMarkedId(std::nullopt);
        m_listView->viewport()->update();
    });
}

ScriptEditSheet *ScriptsListView::presentedSheet() const
{
    return m_sheet;
}

bool ScriptsListView::isShowingEmptyState() const
{
    return m_content->currentWidget() == m_emptyState;
}

void ScriptsListView::updateContent()
{
    m_content->setCurrentWidget(m_model->rowCount() == 0 ? static_cast<QWidget *>(m_emptyState) : m_listView);
}

QRect ScriptsListView::textRect(int row) const
{
    const QModelIndex index = m_model->index(row);
    if (!index.isValid()) {
        return {};
    }
    QStyleOptionViewItem option;
    option.initFrom(m_listView->viewport());
    option.rect = m_listView->visualRect(index);
    return m_rowDelegate->textRect(option, index);
}

bool ScriptsListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listView->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            showKeyboardFocus(false);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const QPoint position = mouse->position().toPoint();
            const QModelIndex index = m_listView->indexAt(position);
            if (mouse->button() == Qt::LeftButton && index.isValid() && textRect(index.row()).contains(position)) {
                setScriptToRecord(m_model->script(index.row()));
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched != m_listView) {
        return QWidget::eventFilter(watched, event);
    }

    // Rows cannot be selected, so keyboard users get their own way in: the
    // focused row is outlined, Return hands it over, the menu key opens its menu.
    const QModelIndex current = m_listView->currentIndex();
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        showKeyboardFocus(reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current.isValid()) {
            setScriptToRecord(m_model->script(current.row()));
            return true;
        }
        showKeyboardFocus(true);
    } else if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (current.isValid()) {
            showContextMenu(current.row(), m_listView->visualRect(current).center());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ScriptsListView::showKeyboardFocus(bool shown)
{
    if (m_rowDelegate->showsFocus() != shown) {
        m_rowDelegate->setShowsFocus(shown);
        m_listView->viewport()->update();
    }
}

void ScriptsListView::showContextMenu(int row, const QPoint &position)
{
    m_menuScript = m_model->script(row);
    if (!m_menuScript) {
        return;
    }
    m_rowDelegate->setMarkedId(m_menuScript->id);
    m_listView->viewport()->update();
    m_menu->popup(m_listView->viewport()->mapToGlobal(position));
}

void ScriptsListView::setShowingAddSheet(bool showing)
{
    if (m_showingAddSheet == showing) {
        return;
    }
    m_showingAddSheet = showing;
    Q_EMIT showingAddSheetChanged();
    if (showing) {
        setEditingScript(std::nullopt);
        present(ScriptEditMode::add());
    } else if (m_sheet && !m_sheet->mode().isEdit()) {
        dismissSheet();
    }
}

void ScriptsListView::setEditingScript(const std::optional<Script> &script)
{
    if (m_editingScript == script) {
        return;
    }
    // The sheet follows the script's identity, not every change of its fields.
    const bool sameScript = m_editingScript && script && m_editingScript->id == script->id;
    m_editingScript = script;
    Q_EMIT editingScriptChanged();
    if (script && !sameScript) {
        setShowingAddSheet(false);
        present(ScriptEditMode::edit(*script));
    } else if (!script && m_sheet && m_sheet->mode().isEdit()) {
        dismissSheet();
    }
}

void ScriptsListView::setScriptToRecord(const std::optional<Script> &script)
{
    if (m_scriptToRecord == script) {
        return;
    }
    m_scriptToRecord = script;
    Q_EMIT scriptToRecordChanged();
}

void ScriptsListView::handOver()
{
    if (!m_scriptToRecord) {
        return;
    }
    const Script script = *m_scriptToRecord;
    if (m_onRecordWithScript) {
        m_onRecordWithScript(script);
    }
    setScriptToRecord(std::nullopt);
}

void ScriptsListView::present(const ScriptEditMode &mode)
{
    dismissSheet();
    DatabaseManager *db = m_dbManager;
    ScriptEditSheet::SaveAction onSave;
    if (const std::optional<Script> &edited = mode.script()) {
        onSave = [db, script = *edited](const QString &title, const QString &content) {
            // The store stamps the new updatedAt; id and createdAt stay.
            Script changed = script;
            changed.title = title;
            changed.content = content;
            if (db) {
                db->updateScript(changed);
            }
        };
    } else {
        QPointer<ScriptsListView> self(this);
        onSave = [db, self](const QString &title, const QString &content) {
            if (self) {
                self->m_revealTopOnRepublish = true;
            }
            if (db) {
                db->addScript(title, content);
            }
        };
    }

    auto *sheet = new ScriptEditSheet(mode, std::move(onSave), window());
    sheet->setWindowModality(Qt::WindowModal);
    const bool isEdit = mode.isEdit();
    connect(sheet, &QDialog::finished, this, [this, sheet, isEdit] {
        sheet->deleteLater();
        if (m_sheet != sheet) {
            return; // replaced by another sheet; its state was already handed on
        }
        m_sheet = nullptr;
        if (isEdit) {
            setEditingScript(std::nullopt);
        } else {
            setShowingAddSheet(false);
        }
    });
    m_sheet = sheet;
    sheet->open();
}

void ScriptsListView::dismissSheet()
{
    if (ScriptEditSheet *sheet = m_sheet) {
        m_sheet = nullptr;
        sheet->reject();
    }
}
