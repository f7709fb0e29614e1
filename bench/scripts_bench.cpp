// Opening the script tab with 10 000 scripts of 400 characters against an
// empty library, in the same run: the time from building the screen to its
// first painted rows, and the resident memory the library and the screen add.
// Also the time of one edit (the store's reload, then republish, reorder and
// repaint) and of a jump to the end of the list. Then the teleprompter row's
// script menu with the same library: opening it (built on the way), opening it
// again, and what a save elsewhere costs while it is closed, against the same
// save with no recording screen at all.
#include "library/DatabaseManager.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/ScriptMenu.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/scripts/ScriptListModel.h"
#include "ui/scripts/ScriptsEmptyState.h"
#include "ui/scripts/ScriptsListView.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

constexpr int scriptCount = 10'000;
constexpr int contentLength = 400;
constexpr int rounds = 3;

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Writes the scripts straight into a new database file, in one transaction:
// going through the store would reload the whole list after every insert.
void fillLibrary(const QString &folder, int count)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QString(folder + "/veltroscope.sqlite3").toUtf8().constData(), &db);
    sqlite3_exec(db,
        "CREATE TABLE IF NOT EXISTS scripts (id INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT NOT NULL, "
        "content TEXT NOT NULL, created_at REAL NOT NULL, updated_at REAL NOT NULL);",
        nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT INTO scripts (title, content, created_at, updated_at) VALUES (?, ?, ?, ?);", -1, &insert, nullptr);
    const QString sentence = QStringLiteral("大家好，欢迎来到今天的节目，我们一起聊聊怎样把一段话说得清楚又自然。");
    const double start = double(QDateTime::currentSecsSinceEpoch()) - count;
    for (int i = 0; i < count; ++i) {
        const QByteArray title = QStringLiteral("第 %1 条提示词").arg(i).toUtf8();
        const QByteArray content = sentence.repeated(contentLength / sentence.size() + 1).left(contentLength).toUtf8();
        sqlite3_bind_text(insert, 1, title.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, content.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, start + i);
        sqlite3_bind_double(insert, 4, start + i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Spins the event loop until `widget` has painted once; returns the
// milliseconds since `clock` started.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *widget) { widget->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

double waitForPaint(QWidget *widget, const QElapsedTimer &clock)
{
    PaintWatch watch(widget);
    while (!watch.painted && clock.elapsed() < 30'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Figures {
    double loadMs = 0;
    double firstPaintMs = 0;
    double addedMegabytes = 0;
    double screenMegabytes = 0;
    double editMs = 0;
    double republishMs = 0;
    double jumpToEndMs = 0;
};

Figures open(int count)
{
    QTemporaryDir folder;
    fillLibrary(folder.path(), count);
    Figures figures;
    const double before = residentMegabytes();

    QElapsedTimer clock;
    clock.start();
    auto db = std::make_unique<DatabaseManager>(folder.path());
    while (db->scripts().size() < count) {
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    figures.loadMs = double(clock.nsecsElapsed()) / 1e6;
    const double loaded = residentMegabytes();

    clock.restart();
    ScriptsListView view(db.get(), [](const Script &) {});
    view.resize(1100, 780);
    QWidget *content = count > 0 ? static_cast<QWidget *>(view.listView()->viewport()) : view.emptyState();
    view.show();
    figures.firstPaintMs = waitForPaint(content, clock);
    figures.addedMegabytes = residentMegabytes() - before;
    figures.screenMegabytes = residentMegabytes() - loaded;

    if (count > 0) {
        Script middle = db->scripts().at(count / 2);
        middle.title += QStringLiteral("（改）");
        QElapsedTimer republish;
        QObject::connect(db.get(), &DatabaseManager::scriptsChanged, &view, [&republish] { republish.start(); });
        clock.restart();
        db->updateScript(middle);
        while (view.model()->scripts().first().id != middle.id) {
            QCoreApplication::processEvents();
        }
        figures.editMs = waitForPaint(content, clock);
        figures.republishMs = double(republish.nsecsElapsed()) / 1e6;

        clock.restart();
        view.listView()->scrollToBottom();
        figures.jumpToEndMs = waitForPaint(content, clock);
    }
    return figures;
}

struct MenuFigures {
    double firstOpenMs = 0;
    double reopenMs = 0;
    double openAfterSaveMs = 0;
    double saveWithRowMs = 0;
    double saveWithoutRowMs = 0;
};

// One save of a script, from the call to the store until its republished
// list has been handed to every listener.
double timeOneSave(DatabaseManager &db, int round)
{
    Script script = db.scripts().at(round % db.scripts().size());
    script.title += QStringLiteral("（改）");
    bool republished = false;
    const QMetaObject::Connection watch
        = QObject::connect(&db, &DatabaseManager::scriptsChanged, &db, [&republished] { republished = true; });
    QElapsedTimer clock;
    clock.start();
    db.updateScript(script);
    while (!republished && clock.elapsed() < 30'000) {
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    QObject::disconnect(watch);
    return double(clock.nsecsElapsed()) / 1e6;
}

double openMenu(QMenu *menu)
{
    QElapsedTimer clock;
    clock.start();
    PaintWatch watch(menu);
    menu->popup(QPoint(0, 0));
    while (!watch.painted && clock.elapsed() < 30'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    menu->hide();
    QCoreApplication::processEvents();
    return elapsed;
}

MenuFigures openScriptMenu(int count)
{
    QTemporaryDir folder;
    fillLibrary(folder.path(), count);
    auto db = std::make_unique<DatabaseManager>(folder.path());
    while (db->scripts().size() < count) {
        QCoreApplication::processEvents();
    }
    MenuFigures figures;
    constexpr int saves = 5;
    for (int i = 0; i < saves; ++i) {
        figures.saveWithoutRowMs += timeOneSave(*db, i) / saves;
    }

    RecordingViewState state;
    state.setIsTeleprompterVisible(true);
    TeleprompterControlsRow row(&state, db.get());
    row.resize(1100, 40);
    row.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < saves; ++i) {
        figures.saveWithRowMs += timeOneSave(*db, saves + i) / saves;
    }
    figures.firstOpenMs = openMenu(row.scriptMenu());
    figures.reopenMs = openMenu(row.scriptMenu());
    timeOneSave(*db, 2 * saves);
    figures.openAfterSaveMs = openMenu(row.scriptMenu());
    return figures;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (!getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);

    open(0); // fonts, styles and the first database connection, outside the figures
    std::vector<Figures> empty;
    std::vector<Figures> full;
    for (int round = 0; round < rounds; ++round) {
        empty.push_back(open(0));
        full.push_back(open(scriptCount));
    }
    const auto pick = [](const std::vector<Figures> &runs, double Figures::*field) {
        std::vector<double> values;
        for (const Figures &figures : runs) {
            values.push_back(figures.*field);
        }
        return median(values);
    };

    std::printf("script tab, median of %d rounds (%d scripts of %d characters against an empty library)\n", rounds,
        scriptCount, contentLength);
    std::printf("  library load (store opens, publishes):   empty %7.1f ms   full %7.1f ms\n",
        pick(empty, &Figures::loadMs), pick(full, &Figures::loadMs));
    std::printf("  screen built to first painted rows:      empty %7.1f ms   full %7.1f ms   (goal < 200 ms)\n",
        pick(empty, &Figures::firstPaintMs), pick(full, &Figures::firstPaintMs));
    const double addedEmpty = empty.front().addedMegabytes;
    const double addedFull = full.front().addedMegabytes;
    std::printf("  resident memory added (first round):     empty %7.1f MB   full %7.1f MB   difference %.1f MB "
                "(goal < 50 MB)\n",
        addedEmpty, addedFull, addedFull - addedEmpty);
    std::printf("    of which the screen (model and view):  empty %7.1f MB   full %7.1f MB\n",
        empty.front().screenMegabytes, full.front().screenMegabytes);
    std::printf("  edit of the middle script to repaint:    %7.1f ms, of which republish to repaint %.1f ms\n",
        pick(full, &Figures::editMs), pick(full, &Figures::republishMs));
    std::printf("  jump to the end of the list and repaint: %7.1f ms\n", pick(full, &Figures::jumpToEndMs));

    openScriptMenu(1); // the menu and recording-row styles, outside the figures
    std::vector<MenuFigures> emptyMenus;
    std::vector<MenuFigures> fullMenus;
    for (int round = 0; round < rounds; ++round) {
        emptyMenus.push_back(openScriptMenu(1));
        fullMenus.push_back(openScriptMenu(scriptCount));
    }
    const auto pickMenu = [](const std::vector<MenuFigures> &runs, double MenuFigures::*field) {
        std::vector<double> values;
        for (const MenuFigures &figures : runs) {
            values.push_back(figures.*field);
        }
        return median(values);
    };
    std::printf("teleprompter script menu, median of %d rounds (1 script against %d)\n", rounds, scriptCount);
    std::printf("  first opening (built, then painted):     one %7.1f ms   full %7.1f ms   (goal < 100 ms)\n",
        pickMenu(emptyMenus, &MenuFigures::firstOpenMs), pickMenu(fullMenus, &MenuFigures::firstOpenMs));
    std::printf("  opening again, library unchanged:        one %7.1f ms   full %7.1f ms\n",
        pickMenu(emptyMenus, &MenuFigures::reopenMs), pickMenu(fullMenus, &MenuFigures::reopenMs));
    std::printf("  opening after a save elsewhere:          one %7.1f ms   full %7.1f ms\n",
        pickMenu(emptyMenus, &MenuFigures::openAfterSaveMs), pickMenu(fullMenus, &MenuFigures::openAfterSaveMs));
    const double withRow = pickMenu(fullMenus, &MenuFigures::saveWithRowMs);
    const double withoutRow = pickMenu(fullMenus, &MenuFigures::saveWithoutRowMs);
    std::printf("  one save, menu closed: with the row %7.1f ms, without it %7.1f ms, ratio %.2f (goal about 1)\n",
        withRow, withoutRow, withRow / withoutRow);
    return 0;
}
