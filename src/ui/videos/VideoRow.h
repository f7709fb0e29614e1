#pragma once

#include "ui/common/DateFormatter.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

// Paints one video of the list: the thumbnail box, the file name, the path and
// the recording time. The row's two buttons are real widgets that the list
// (VideoRowsView) places at `Geometry::buttons`.
class VideoRow : public QStyledItemDelegate {
    Q_OBJECT

public:
    struct Geometry {
        QRect thumbnail;
        QRect text;
        QRect buttons;
    };

    explicit VideoRow(QObject *parent = nullptr);

    static Geometry geometry(const QRect &rowRect);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    const QFont &nameFont() const { return m_nameFont; }
    const QFont &detailFont() const { return m_detailFont; }

private:
    void paintThumbnail(QPainter *painter, const QRect &box, const QImage &image, const QPalette &palette) const;
    void paintText(QPainter *painter, const QRect &area, const QModelIndex &index, const QPalette &palette) const;
    QPixmap placeholder(double devicePixelRatio, const QColor &color) const;

    QFont m_nameFont;
    QFont m_detailFont;
    DateFormatter m_dates;
    mutable QHash<QString, QPixmap> m_placeholders;
};
