#pragma once

#include "ui/common/DateFormatter.h"
#include "ui/videos/VideoRowButtons.h"

#include <QFont>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QStyledItemDelegate>

// Paints one video of the list: the thumbnail box, the file name, the path,
// the recording time and the two buttons at `Geometry::buttons`, whose clicks
// it takes from the mouse events the list hands it (editorEvent).
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

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

    // The button the mouse is over, which is drawn raised; `none` for none.
    void setHovered(const QModelIndex &index, VideoRowButtons::Button button);
    VideoRowButtons::Button hoveredButton(const QModelIndex &index) const;
    QModelIndex hoveredRow() const { return m_hoveredRow; }
    // A press let go where no row is: the button it sank comes up again.
    QModelIndex cancelPress();

    // The current row is outlined only while the keyboard is in use.
    void setShowsFocus(bool shown) { m_showsFocus = shown; }
    bool showsFocus() const { return m_showsFocus; }

    const QFont &nameFont() const { return m_nameFont; }
    const QFont &detailFont() const { return m_detailFont; }

Q_SIGNALS:
    // A button pressed and let go over the same button of the same row.
    void buttonClicked(const QModelIndex &index, VideoRowButtons::Button button);

private:
    const QIcon *buttonIcons(const QPalette &palette) const;
    void paintThumbnail(QPainter *painter, const QRect &box, const QImage &image, const QPalette &palette) const;
    void paintText(QPainter *painter, const QRect &area, const QModelIndex &index, const QPalette &palette) const;
    QPixmap placeholder(double devicePixelRatio, const QColor &color) const;

    QFont m_nameFont;
    QFont m_detailFont;
    DateFormatter m_dates;
    mutable QHash<QString, QPixmap> m_placeholders;
    mutable QIcon m_buttonIcons[VideoRowButtons::count];
    mutable QColor m_buttonIconColor;
    QPersistentModelIndex m_hoveredRow;
    VideoRowButtons::Button m_hovered = VideoRowButtons::none;
    QPersistentModelIndex m_pressedRow;
    VideoRowButtons::Button m_pressed = VideoRowButtons::none;
    bool m_showsFocus = false;
};
