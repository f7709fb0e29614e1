#pragma once

#include <QLayout>
#include <QList>

// A horizontal row that gives way in a set order when it is too narrow: the
// items of shrink level 0 shrink first (toward their minimum size), then those
// of level 1, and so on; fixed items keep their preferred width. Flexible
// spaces share whatever room is left, equally. Items are centred vertically;
// hidden widgets take no room and no spacing.
class PriorityRowLayout : public QLayout {
    Q_OBJECT

public:
    static constexpr int fixed = -1;

    explicit PriorityRowLayout(QWidget *parent = nullptr);
    ~PriorityRowLayout() override;

    void addWidget(QWidget *widget, int shrinkLevel = fixed);
    void addFlexibleSpace();
    // Inserts before the entry at `index` (entries count widgets and spaces).
    void insertWidget(int index, QWidget *widget, int shrinkLevel = fixed);

    // Widths the entries get in a row of `width`; for tests and the layout itself.
    QList<int> widthsFor(int width) const;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry {
        QLayoutItem *item = nullptr;
        int shrinkLevel = fixed;
        bool flexible = false;
    };
    bool isShown(const Entry &entry) const;
    int preferredWidth(const Entry &entry) const;
    int minimumWidth(const Entry &entry) const;
    // The row's size from each shown entry's width and item size of one kind.
    using EntryWidth = int (PriorityRowLayout::*)(const Entry &) const;
    using ItemSize = QSize (QLayoutItem::*)() const;
    QSize rowSize(EntryWidth widthOf, ItemSize sizeOf) const;
    int shownSpacing() const;

    QList<Entry> m_entries;
};
