#pragma once

#include "ui/common/DateFormatter.h"

#include <QFont>
#include <QStringList>
#include <QStyledItemDelegate>

#include <cstdint>
#include <optional>

class QFontMetricsF;

// Paints one script of the list: the title on one line, the text on at most
// two lines wrapped to the row's width, and the time of the last change.
// Every row has the same height, so a long list lays out without measuring
// each script.
class ScriptRow : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int listInset = 10;
    static constexpr int rowPadding = 10;
    static constexpr int verticalPadding = 8;
    static constexpr int lineGap = 4;

    explicit ScriptRow(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Where the row's text lies: the double-click target, not the whole row.
    QRect textRect(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    // A row drawn with an outline, such as the one a context menu is open for.
    void setMarkedId(std::optional<int64_t> id) { m_markedId = id; }
    std::optional<int64_t> markedId() const { return m_markedId; }
    // Outlines the current row while the list has the focus; for keyboard use.
    void setShowsFocus(bool shows) { m_showsFocus = shows; }
    bool showsFocus() const { return m_showsFocus; }

    // The lines as drawn in `width` pixels. A line that is cut, or followed by
    // text it cannot show, ends in an ellipsis.
    static QString titleLine(const QString &title, const QFont &font, qreal width);
    static QStringList contentLines(const QString &content, const QFont &font, qreal width);

    QFont titleFont() const { return m_titleFont; }
    QFont contentFont() const { return m_contentFont; }
    QFont dateFont() const { return m_dateFont; }

private:
    struct Lines {
        QString title;
        QStringList content;
        QString date;
    };
    Lines lines(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    qreal stackHeight(int contentLines) const;
    qreal textWidth(const QRect &rowRect) const;
    QRectF stackRect(const QRect &rowRect, int contentLines) const;

    QFont m_titleFont;
    QFont m_contentFont;
    QFont m_dateFont;
    DateFormatter m_dates;
    int m_fullStackHeight = 0;
    std::optional<int64_t> m_markedId;
    bool m_showsFocus = false;
};
