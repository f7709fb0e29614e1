#include "ui/scripts/ScriptEditSheet.h"

#include "ui/common/AppFont.h"
#include "ui/common/UiStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <limits>

namespace {
bool isTrimmedAway(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// The document's blocks joined by "\n". Unlike toPlainText() this keeps
// no-break spaces and line separators as they are.
QString rawText(const QTextDocument *document)
{
    QString text;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin()) {
            text += u'\n';
        }
        text += block.text();
    }
    return text;
}
} // namespace

ScriptEditSheet::ScriptEditSheet(ScriptEditMode mode, SaveAction onSave, QWidget *parent)
    : QDialog(parent), m_mode(std::move(mode)), m_onSave(std::move(onSave))
{
    buildLayout();

    if (const std::optional<Script> &script = m_mode.script()) {
        m_titleField->setText(script->title);
        m_bodyEditor->setPlainText(script->content);
        m_initialContent = script->content;
        m_loadedContent = rawText(m_bodyEditor->document());
    }
    updateSaveEnabled();

    connect(m_titleField, &QLineEdit::textChanged, this, &ScriptEditSheet::updateSaveEnabled);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_saveButton, &QPushButton::clicked, this, &ScriptEditSheet::save);
}

void ScriptEditSheet::buildLayout()
{
    const QString headingText = m_mode.isEdit() ? QStringLiteral("编辑提示词") : QStringLiteral("添加提示词");
    setWindowTitle(headingText);
    setFixedSize(sheetWidth, sheetHeight);
    setFont(AppFont::pixelFont(13));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);

    m_heading = new QLabel(headingText, this);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setFont(AppFont::pixelFont(18, QFont::Bold));
    layout->addWidget(m_heading, 0, Qt::AlignHCenter);

    m_titleField = new QLineEdit(this);
    m_titleField->setPlaceholderText(QStringLiteral("标题"));
    m_titleField->setAccessibleName(QStringLiteral("标题"));
    // Titles have no length limit; the field's default would cut long ones on save.
    m_titleField->setMaxLength(std::numeric_limits<int>::max());
    layout->addWidget(m_titleField);

    m_bodyEditor = new QPlainTextEdit(this);
    m_bodyEditor->setAccessibleName(QStringLiteral("内容"));
    m_bodyEditor->setFont(AppFont::pixelFont(14));
    m_bodyEditor->setMinimumHeight(minimumBodyHeight);
    m_bodyEditor->setFrameShape(QFrame::NoFrame);
    m_bodyEditor->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid %1; }")
                                    .arg(UiStyle::separator(palette(), QPalette::Text).name(QColor::HexArgb)));
    layout->addWidget(m_bodyEditor, 1);

    auto *buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    // Return belongs to "保存" even while "取消" has the focus.
    m_cancelButton->setAutoDefault(false);
    m_saveButton = new QPushButton(QStringLiteral("保存"), this);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    m_titleField->setFocus();
}

QString ScriptEditSheet::title() const
{
    return m_titleField->text();
}

QString ScriptEditSheet::content() const
{
    // The editor turns "\r\n" and "\r" into its own line breaks; a body the
    // user left as it was goes back exactly as it came.
    const QString text = rawText(m_bodyEditor->document());
    return m_mode.isEdit() && text == m_loadedContent ? m_initialContent : text;
}

bool ScriptEditSheet::isBlank(const QString &title)
{
    for (QChar c : title) {
        if (!isTrimmedAway(c)) {
            return false;
        }
    }
    return true;
}

void ScriptEditSheet::save()
{
    if (isBlank(title())) {
        return;
    }
    if (m_onSave) {
        m_onSave(title(), content());
    }
    accept();
}

void ScriptEditSheet::updateSaveEnabled()
{
    m_saveButton->setEnabled(!isBlank(title()));
}
