#pragma once

#include <QFont>
#include <QString>
#include <QTextLayout>

#include <vector>

class QPainter;

// The teleprompter text laid out once for a given text, font, spacing and
// width. Scrolling only translates the painter: draw() touches the lines that
// meet the visible band and nothing else, so its cost does not grow with the
// length of the script.
class TeleprompterLayout {
public:
    static constexpr double lineHeightMultiple = 1.05;
    static constexpr int leadingBreaks = 2;
    static constexpr int trailingBreaks = 3;

    // One line fragment: its top, its height (line spacing included) and the
    // space that follows it when it ends a paragraph.
    struct Line {
        double top = 0;
        double height = 0;
        double paragraphSpacing = 0;
        int textLine = -1; // index into the text layout; -1 for an empty line
    };

    // Two breaks, the script with every kind of line break made one, three breaks.
    static QString displayedText(const QString &script);

    void setText(const QString &script);
    void setFont(const QFont &font);
    void setLineSpacing(double spacing);
    void setWidth(double width);

    // Lays out again if anything changed since the last layout.
    void ensureLaidOut();

    double height() const { return m_height; }
    const std::vector<Line> &lines() const { return m_lines; }
    const QTextLayout &textLayout() const { return m_layout; }
    QFont font() const { return m_font; }
    double lineSpacing() const { return m_lineSpacing; }
    double paragraphSpacing() const { return m_lineSpacing * 0.5; }
    // Natural height of one line before the multiple and the spacing.
    double naturalLineHeight() const { return m_ascent + m_descent; }
    // How many times the text has been laid out; scrolling must never add to it.
    int layoutCount() const { return m_layoutCount; }

    // Index into lines() of the line holding a position of displayedText(),
    // or -1 outside the text.
    int lineIndexForTextPosition(int position) const;
    // Index into lines() of the line whose band (its paragraph spacing
    // included) holds `y`; the first or last line above or below the text.
    int lineIndexAt(double y) const;

    // Draws the lines that meet [top, bottom) in layout coordinates with the
    // painter's pen; the painter is already translated by the scroll position.
    // Returns how many lines it drew.
    int draw(QPainter *painter, double top, double bottom) const;

private:
    void layOut();
    void measureFont();

    QString m_script;
    QFont m_font;
    double m_lineSpacing = 12;
    double m_width = 0;
    bool m_dirty = true;

    QTextLayout m_layout;
    std::vector<Line> m_lines;
    double m_ascent = 0;
    double m_descent = 0;
    double m_height = 0;
    int m_layoutCount = 0;
};
