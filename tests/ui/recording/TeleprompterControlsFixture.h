#pragma once

// The teleprompter controls row over a throw-away library, in the smallest
// window, with a teleprompter beside it.
#include "library/DatabaseManager.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/ScriptMenu.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterView.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>

// The row as the control panel holds it: 960 less 18 either side at the
// smallest window.
inline constexpr int minimumRowWidth = 960 - 2 * 18;
inline constexpr int generousMs = 10000;

class TeleprompterControls : public testing::Test {
protected:
    TeleprompterControls() : db(dir.path() + "/share/Veltroscope"), row(&state, &db), view(&state)
    {
        row.resize(minimumRowWidth, row.sizeHint().height());
        row.show();
        view.resize(500, 300);
        MainLoop::drain();
    }

    // As the menu button does: the menu shows, then closes.
    void openScriptMenu()
    {
        row.scriptMenu()->popup(QPoint(0, 0));
        MainLoop::drain();
        row.scriptMenu()->hide();
        MainLoop::drain();
    }

    void addScripts()
    {
        db.addScript(QStringLiteral("第一篇"), QStringLiteral("第一篇的内容"));
        db.addScript(QStringLiteral("问&答"), QStringLiteral("第二篇的内容\n第二行"));
        MainLoop::drain();
    }

    QList<QWidget *> itemsLeftToRight()
    {
        QList<QWidget *> items{row.visibleBox()};
        for (QWidget *child : row.group()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            items << child;
        }
        std::sort(items.begin(), items.end(),
            [&](QWidget *a, QWidget *b) { return a->mapTo(&row, QPoint()).x() < b->mapTo(&row, QPoint()).x(); });
        return items;
    }

    // Every item in the row, none overlapping, none cut, none but a slider squeezed.
    void checkFits()
    {
        int previousRight = -TeleprompterControlsRow::itemSpacing;
        for (QWidget *item : itemsLeftToRight()) {
            const QRect box(item->mapTo(&row, QPoint()), item->size());
            EXPECT_GE(box.left(), previousRight + TeleprompterControlsRow::itemSpacing)
                << item->metaObject()->className();
            EXPECT_LE(box.right(), row.width() - 1) << item->metaObject()->className();
            EXPECT_GE(box.top(), 0);
            EXPECT_LE(box.bottom(), row.height() - 1);
            if (auto *slider = qobject_cast<QSlider *>(item)) {
                EXPECT_GE(slider->width(), TeleprompterControlsRow::sliderFloorWidth);
            } else {
                // Nothing but a slider is squeezed below what it asks for.
                EXPECT_GE(item->width(),
                    item->sizeHint().expandedTo(item->minimumSize()).boundedTo(item->maximumSize()).width())
                    << item->metaObject()->className();
            }
            previousRight = box.right();
        }
        EXPECT_EQ(row.fontPicker()->width(), 120);
        EXPECT_LE(row.minimumSizeHint().width(), minimumRowWidth);
    }

    QTemporaryDir dir;
    DatabaseManager db;
    RecordingViewState state;
    TeleprompterControlsRow row;
    TeleprompterView view;
};
