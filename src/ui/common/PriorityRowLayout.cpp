#include "ui/common/PriorityRowLayout.h"

#include <QSpacerItem>
#include <QWidget>
#include <QWidgetItem>

#include <algorithm>
#include <map>

PriorityRowLayout::PriorityRowLayout(QWidget *parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

PriorityRowLayout::~PriorityRowLayout()
{
    while (QLayoutItem *item = takeAt(0)) {
        delete item;
    }
}

void PriorityRowLayout::addWidget(QWidget *widget, int shrinkLevel)
{
    insertWidget(int(m_entries.size()), widget, shrinkLevel);
}

void PriorityRowLayout::insertWidget(int index, QWidget *widget, int shrinkLevel)
{
    addChildWidget(widget);
    m_entries.insert(std::clamp<qsizetype>(index, 0, m_entries.size()), Entry{new QWidgetItem(widget), shrinkLevel});
    invalidate();
}

void PriorityRowLayout::addFlexibleSpace()
{
    m_entries.append(Entry{new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), fixed, true});
    invalidate();
}

void PriorityRowLayout::addItem(QLayoutItem *item)
{
    m_entries.append(Entry{item, fixed});
}

int PriorityRowLayout::count() const
{
    return int(m_entries.size());
}

QLayoutItem *PriorityRowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_entries.size() ? m_entries[index].item : nullptr;
}

QLayoutItem *PriorityRowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_entries.size()) {
        return nullptr;
    }
    QLayoutItem *item = m_entries.takeAt(index).item;
    invalidate();
    return item;
}

bool PriorityRowLayout::isShown(const Entry &entry) const
{
    return entry.flexible || !entry.item->isEmpty();
}

int PriorityRowLayout::preferredWidth(const Entry &entry) const
{
    if (entry.flexible) {
        return 0;
    }
    const QSize hint = entry.item->sizeHint().boundedTo(entry.item->maximumSize());
    return std::max(hint.width(), entry.item->minimumSize().width());
}

int PriorityRowLayout::minimumWidth(const Entry &entry) const
{
    if (entry.flexible) {
        return 0;
    }
    if (entry.shrinkLevel == fixed) {
        return preferredWidth(entry);
    }
    return std::min(entry.item->minimumSize().width(), preferredWidth(entry));
}

int PriorityRowLayout::shownSpacing() const
{
    const int shown
        = int(std::count_if(m_entries.begin(), m_entries.end(), [this](const Entry &e) { return isShown(e); }));
    return std::max(0, shown - 1) * std::max(0, spacing());
}

QList<int> PriorityRowLayout::widthsFor(int width) const
{
    QList<int> widths(m_entries.size(), 0);
    int used = 0;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (isShown(m_entries[i])) {
            widths[i] = preferredWidth(m_entries[i]);
            used += widths[i];
        }
    }
    int deficit = used + shownSpacing() - width;
    // Give way level by level, each level in proportion to what it can give.
    std::map<int, QList<int>> levels;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (isShown(m_entries[i]) && !m_entries[i].flexible && m_entries[i].shrinkLevel != fixed) {
            levels[m_entries[i].shrinkLevel].append(i);
        }
    }
    for (const auto &[level, members] : levels) {
        if (deficit <= 0) {
            break;
        }
        int room = 0;
        for (int i : members) {
            room += widths[i] - minimumWidth(m_entries[i]);
        }
        if (room <= 0) {
            continue;
        }
        const int take = std::min(deficit, room);
        int taken = 0;
        for (int n = 0; n < members.size(); ++n) {
            const int i = members[n];
            const int canGive = widths[i] - minimumWidth(m_entries[i]);
            // The last member takes the rounding remainder.
            const int give
                = n + 1 == members.size() ? std::min(canGive, take - taken) : int(qint64(take) * canGive / room);
            widths[i] -= give;
            taken += give;
        }
        deficit -= taken;
    }
    // Flexible spaces share what is left.
    QList<int> spaces;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].flexible) {
            spaces.append(i);
        }
    }
    if (deficit < 0 && !spaces.isEmpty()) {
        const int free = -deficit;
        for (int n = 0; n < spaces.size(); ++n) {
            widths[spaces[n]] = free / int(spaces.size()) + (n < free % spaces.size() ? 1 : 0);
        }
    }
    return widths;
}

QSize PriorityRowLayout::sizeHint() const
{
    return rowSize(&PriorityRowLayout::preferredWidth, &QLayoutItem::sizeHint);
}

QSize PriorityRowLayout::minimumSize() const
{
    return rowSize(&PriorityRowLayout::minimumWidth, &QLayoutItem::minimumSize);
}

QSize PriorityRowLayout::rowSize(EntryWidth widthOf, ItemSize sizeOf) const
{
    int width = shownSpacing();
    int height = 0;
    for (const Entry &entry : m_entries) {
        if (isShown(entry)) {
            width += (this->*widthOf)(entry);
            height = std::max(height, (entry.item->*sizeOf)().height());
        }
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

Qt::Orientations PriorityRowLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

void PriorityRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const QList<int> widths = widthsFor(area.width());
    int x = area.left();
    bool first = true;
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if (!isShown(entry)) {
            continue;
        }
        if (!first) {
            x += spacing();
        }
        first = false;
        const int height
            = std::min(area.height(), std::max(entry.item->sizeHint().height(), entry.item->minimumSize().height()));
        entry.item->setGeometry(QRect(x, area.top() + (area.height() - height) / 2, widths[i], height));
        x += widths[i];
    }
}
