#include "ui/common/PriorityRowLayout.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

// A widget that would like `preferred` points and can live with `minimum`.
class Box : public QWidget {
public:
    Box(QWidget *parent, int preferred, int minimum) : QWidget(parent), m_preferred(preferred), m_minimum(minimum)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {m_preferred, 20}; }
    QSize minimumSizeHint() const override { return {m_minimum, 20}; }

private:
    int m_preferred;
    int m_minimum;
};

QWidget *box(QWidget *parent, int preferred, int minimum)
{
    return new Box(parent, preferred, minimum);
}

} // namespace

TEST(PriorityRowLayout, GivesWayLevelByLevel)
{
    QWidget row;
    auto *layout = new PriorityRowLayout(&row);
    layout->setSpacing(10);
    QWidget *title = box(&row, 180, 60); // level 0
    QWidget *fixed = box(&row, 100, 100);
    QWidget *control = box(&row, 240, 140); // level 1
    QWidget *path = box(&row, 150, 50); // level 0
    layout->addWidget(title, 0);
    layout->addWidget(fixed);
    layout->addWidget(control, 1);
    layout->addFlexibleSpace();
    layout->addWidget(path, 0);
    // Widths at their maximum: 670 + 4 gaps of 10 = 710.

    EXPECT_EQ(layout->widthsFor(800), QList<int>({180, 100, 240, 90, 150})) << "room left goes to the space";
    EXPECT_EQ(layout->widthsFor(710), QList<int>({180, 100, 240, 0, 150}));

    // 70 short: only level 0 gives way, in proportion to what each can give
    // (120 and 100).
    const QList<int> narrow = layout->widthsFor(640);
    EXPECT_EQ(narrow[0] + narrow[4], 330 - 70);
    EXPECT_NEAR(narrow[0], 180 - 70 * 120 / 220, 1);
    EXPECT_EQ(narrow[2], 240) << "level 1 untouched while level 0 can give";
    EXPECT_EQ(narrow[1], 100);

    // Level 0 at its floor (220 given), then level 1 gives the rest.
    const QList<int> tight = layout->widthsFor(710 - 220 - 50);
    EXPECT_EQ(tight[0], 60);
    EXPECT_EQ(tight[4], 50);
    EXPECT_EQ(tight[2], 190);
    EXPECT_EQ(tight[1], 100) << "fixed items never shrink";

    EXPECT_EQ(layout->minimumSize().width(), 60 + 100 + 140 + 50 + 40);

    row.resize(640, 40);
    layout->setGeometry(row.rect());
    EXPECT_EQ(title->x(), 0);
    EXPECT_EQ(fixed->x(), narrow[0] + 10);
    EXPECT_EQ(path->geometry().right(), 639) << "the last item ends at the row's edge";
    EXPECT_EQ(title->y(), 10) << "centred vertically";
}
