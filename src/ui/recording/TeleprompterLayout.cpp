#include "ui/recording/TeleprompterLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {
// The text layout breaks lines on this, so one layout holds the whole script
// and still knows where each paragraph ends.
constexpr QChar paragraphEnd = QChar::LineSeparator;
} // namespace

QString TeleprompterLayout::displayedText(const QString &script)
{
    QString text = script;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return QString(leadingBreaks, QLatin1Char('\n')) + text + QString(trailingBreaks, QLatin1Char('\n'));
}

void TeleprompterLayout::setText(const QString &script)
{
    if (script == m_script) {
        return;
    }
    m_script = script;
    m_dirty = true;
}

void TeleprompterLayout::setFont(const QFont &font)
{
    if (font == m_font && font.families() == m_font.families()) {
        return;
    }
    m_font = font;
    m_dirty = true;
}

void TeleprompterLayout::setLineSpacing(double spacing)
{
    if (spacing == m_lineSpacing) {
        return;
    }
    m_lineSpacing = spacing;
    m_dirty = true;
}

void TeleprompterLayout::setWidth(double width)
{
    if (width == m_width) {
        return;
    }
    m_width = width;
    m_dirty = true;
}

void TeleprompterLayout::ensureLaidOut()
{
    if (m_dirty) {
        layOut();
    }
}

void TeleprompterLayout::measureFont()
{
    // Every line gets the height of the tallest face in the font's family
    // list, so Latin-only and empty lines keep the rhythm of the Han lines.
    m_ascent = 0;
    m_descent = 0;
    const QStringList families = m_font.families().isEmpty() ? QStringList{m_font.family()} : m_font.families();
    for (const QString &family : families) {
        QFont face = m_font;
        face.setFamilies({family});
        const QFontMetricsF metrics(face);
        m_ascent = std::max(m_ascent, metrics.ascent());
        m_descent = std::max(m_descent, metrics.descent());
    }
}

void TeleprompterLayout::layOut()
{
    m_dirty = false;
    ++m_layoutCount;
    measureFont();

    QString text = displayedText(m_script);
    text.replace(QLatin1Char('\n'), paragraphEnd);
    m_layout.setText(text);
    m_layout.setFont(m_font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(QFontMetricsF(m_font).horizontalAdvance(QLatin1Char(' ')) * 4);
    m_layout.setTextOption(option);
    m_layout.setCacheEnabled(true);

    m_lines.clear();
    const double width = std::max(m_width, 1.0);
    const double spacing = std::max(m_lineSpacing, 0.0);
    double y = 0;
    auto place = [&](double ascent, double descent, int textLine, bool endsParagraph) {
        const double fragment = (ascent + descent) * lineHeightMultiple;
        Line line;
        line.top = y;
        line.height = fragment + spacing;
        line.paragraphSpacing = endsParagraph ? spacing * 0.5 : 0;
        line.textLine = textLine;
        m_lines.push_back(line);
        y += line.height + line.paragraphSpacing;
        // The multiple's extra room goes above the glyphs; baselines sit on
        // whole pixels so that a whole-pixel scroll moves every line alike.
        return std::round(line.top + fragment - descent);
    };

    bool lastEndsParagraph = false;
    m_layout.beginLayout();
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(width);
        const int last = line.textStart() + line.textLength() - 1;
        lastEndsParagraph = line.textLength() > 0 && text.at(last) == paragraphEnd;
        const double ascent = std::max(m_ascent, line.ascent());
        const double baseline
            = place(ascent, std::max(m_descent, line.descent()), line.lineNumber(), lastEndsParagraph);
        line.setPosition(QPointF(0, baseline - line.ascent()));
    }
    m_layout.endLayout();
    if (lastEndsParagraph) {
        // The text ends in a break and the layout made no line after it.
        place(m_ascent, m_descent, -1, false);
    }
    m_height = y;
}

int TeleprompterLayout::draw(QPainter *painter, double top, double bottom) const
{
    int drawn = 0;
    // First line whose fragment reaches below `top`.
    auto first = std::partition_point(
        m_lines.begin(), m_lines.end(), [top](const Line &line) { return line.top + line.height <= top; });
    // Glyphs of a tall fallback face may poke out of their fragment: one line
    // of slack on either side.
    if (first != m_lines.begin()) {
        --first;
    }
    for (auto it = first; it != m_lines.end(); ++it) {
        if (it->top >= bottom + it->height) {
            break;
        }
        if (it->textLine >= 0) {
            m_layout.lineAt(it->textLine).draw(painter, QPointF(0, 0));
            ++drawn;
        }
    }
    return drawn;
}

int TeleprompterLayout::lineIndexForTextPosition(int position) const
{
    if (position < 0 || position >= m_layout.text().size()) {
        return -1;
    }
    // Text lines come first in lines(), in the layout's own order.
    const QTextLine line = m_layout.lineForTextPosition(position);
    return line.isValid() ? line.lineNumber() : -1;
}

int TeleprompterLayout::lineIndexAt(double y) const
{
    if (m_lines.empty()) {
        return -1;
    }
    const auto it = std::partition_point(m_lines.begin(), m_lines.end(),
        [y](const Line &line) { return line.top + line.height + line.paragraphSpacing <= y; });
    return it == m_lines.end() ? int(m_lines.size()) - 1 : int(it - m_lines.begin());
}
