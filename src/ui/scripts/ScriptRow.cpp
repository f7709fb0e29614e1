#include "ui/scripts/ScriptRow.h"

#include "ui/common/AppFont.h"
#include "ui/common/DateFormatter.h"
#include "ui/common/TextElision.h"
#include "ui/common/UiStyle.h"
#include "ui/scripts/ScriptListModel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
const QString ellipsis = QStringLiteral("…");

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// `line` shortened to fit `width`; with `more`, an ellipsis says that text
// follows even when the line itself would fit.
QString fitted(QString line, bool more, const QFontMetricsF &metrics, qreal width)
{
    if (!more) {
        return TextElision::line(line, metrics, Qt::ElideRight, width);
    }
    if (metrics.horizontalAdvance(line + ellipsis) <= width) {
        return line + ellipsis;
    }
    qsizetype low = 0;
    qsizetype high = line.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(line.left(middle) + ellipsis) <= width) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    if (low > 0 && line.at(low - 1).isHighSurrogate()) {
        --low;
    }
    line.truncate(low);
    while (!line.isEmpty() && line.back().isSpace()) {
        line.chop(1);
    }
    return line + ellipsis;
}
} // namespace

ScriptRow::ScriptRow(QObject *parent)
    : QStyledItemDelegate(parent), m_titleFont(AppFont::pixelFont(15, QFont::DemiBold)),
      m_contentFont(AppFont::pixelFont(13)), m_dateFont(AppFont::pixelFont(11)), m_dates(QLocale())
{
    m_fullStackHeight = int(std::ceil(stackHeight(2)));
}

QString ScriptRow::titleLine(const QString &title, const QFont &font, qreal width)
{
    const qsizetype lineEnd = std::find_if(title.begin(), title.end(), isLineBreak) - title.begin();
    return fitted(title.left(lineEnd), lineEnd < title.size(), QFontMetricsF(font), width);
}

QStringList ScriptRow::contentLines(const QString &content, const QFont &font, qreal width)
{
    if (content.isEmpty() || width <= 0) {
        return {};
    }
    // Two lines never show more than one character per two pixels, so a long
    // script is not laid out in full for every painted row.
    const qsizetype cap = qsizetype(width) + 2;
    QString text = content.left(cap);
    if (text.size() < content.size() && text.back().isHighSurrogate()) {
        text.chop(1);
    }
    const bool cutShort = text.size() < content.size();
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    for (QChar &c : text) {
        if (isLineBreak(c)) {
            c = QChar::LineSeparator;
        }
    }

    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<QTextLine> lines;
    while (lines.size() < 2) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        lines.append(line);
    }
    layout.endLayout();

    const QFontMetricsF metrics(font);
    QStringList result;
    for (int i = 0; i < lines.size(); ++i) {
        QString part = text.mid(lines[i].textStart(), lines[i].textLength());
        while (!part.isEmpty() && (part.back() == QChar::LineSeparator)) {
            part.chop(1);
        }
        const bool last = i == lines.size() - 1;
        const bool more = last && (cutShort || lines[i].textStart() + lines[i].textLength() < text.size());
        result.append(more ? fitted(part, true, metrics, width) : part);
    }
    return result;
}

QSize ScriptRow::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(200, m_fullStackHeight + 2 * verticalPadding);
}

qreal ScriptRow::stackHeight(int contentLines) const
{
    const QFontMetricsF title(m_titleFont);
    const QFontMetricsF content(m_contentFont);
    const QFontMetricsF date(m_dateFont);
    qreal height = title.height() + lineGap + date.height();
    if (contentLines > 0) {
        height += content.height() + (contentLines - 1) * content.lineSpacing() + lineGap;
    }
    return height;
}

qreal ScriptRow::textWidth(const QRect &rowRect) const
{
    return qMax(0, rowRect.width() - 2 * (listInset + rowPadding));
}

QRectF ScriptRow::stackRect(const QRect &rowRect, int contentLines) const
{
    // Rows share one height; a shorter stack sits in the middle of its row.
    const qreal height = stackHeight(contentLines);
    const qreal top = std::round(rowRect.top() + (rowRect.height() - height) / 2);
    return QRectF(rowRect.left() + listInset + rowPadding, top, textWidth(rowRect), height);
}

ScriptRow::Lines ScriptRow::lines(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const qreal width = textWidth(option.rect);
    Lines lines;
    lines.title = titleLine(index.data(Qt::DisplayRole).toString(), m_titleFont, width);
    lines.content = contentLines(index.data(ScriptListModel::ContentRole).toString(), m_contentFont, width);
    lines.date = m_dates.text(index.data(ScriptListModel::UpdatedAtRole).toDouble());
    return lines;
}

QRect ScriptRow::textRect(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Lines text = lines(option, index);
    qreal widest = QFontMetricsF(m_titleFont).horizontalAdvance(text.title);
    const QFontMetricsF content(m_contentFont);
    for (const QString &line : text.content) {
        widest = qMax(widest, content.horizontalAdvance(line));
    }
    widest = qMax(widest, QFontMetricsF(m_dateFont).horizontalAdvance(text.date));
    QRectF area = stackRect(option.rect, int(text.content.size()));
    area.setWidth(qMin(area.width(), widest));
    return area.toAlignedRect();
}

void ScriptRow::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Lines text = lines(option, index);
    const QRectF area = stackRect(option.rect, int(text.content.size()));
    const QPalette &palette = option.palette;
    const QFontMetricsF titleMetrics(m_titleFont);
    const QFontMetricsF contentMetrics(m_contentFont);
    const QFontMetricsF dateMetrics(m_dateFont);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool marked = m_markedId && index.data(ScriptListModel::IdRole).toLongLong() == *m_markedId;
    if (marked || (m_showsFocus && option.state.testFlag(QStyle::State_HasFocus))) {
        QPainterPath outline;
        outline.addRoundedRect(QRectF(option.rect).adjusted(listInset + 1.5, 1.5, -listInset - 1.5, -1.5), 6, 6);
        painter->setPen(QPen(palette.color(QPalette::Highlight), 2));
        painter->drawPath(outline);
    }
    if (index.row() + 1 < index.model()->rowCount()) {
        painter->setPen(QPen(UiStyle::separator(palette, QPalette::Text), 1));
        const qreal y = option.rect.bottom() + 0.5;
        painter->drawLine(QPointF(area.left(), y), QPointF(area.left() + textWidth(option.rect), y));
    }

    // Plain drawText: user text is never read as markup.
    qreal y = area.top();
    painter->setFont(m_titleFont);
    painter->setPen(UiStyle::label(palette));
    painter->drawText(QPointF(area.left(), y + titleMetrics.ascent()), text.title);
    y += titleMetrics.height() + lineGap;

    painter->setFont(m_contentFont);
    painter->setPen(UiStyle::secondaryText(palette, QPalette::Text));
    for (const QString &line : text.content) {
        painter->drawText(QPointF(area.left(), y + contentMetrics.ascent()), line);
        y += contentMetrics.lineSpacing();
    }
    y = area.bottom() - dateMetrics.height();

    const QColor dateColor = UiStyle::tertiaryText(palette, QPalette::Text);
    painter->setFont(m_dateFont);
    painter->setPen(dateColor);
    painter->drawText(QPointF(area.left(), y + dateMetrics.ascent()), text.date);
    painter->restore();
}
