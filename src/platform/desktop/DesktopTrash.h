#pragma once

#include <QString>

// Deleting a user's file: into the desktop trash, so a slip of the mouse can be
// undone from the file manager; for good only where no trash can take it.
class DesktopTrash {
public:
    enum class Outcome {
        Trashed, // in the trash, restorable
        Removed, // no trash for it: removed for good (logged)
        Missing, // nothing at the path
        Failed, // still there: neither trashed nor removed
    };

    static Outcome moveToTrashOrRemove(const QString &path);

    // $XDG_DATA_HOME/Trash, created when missing; empty when it cannot be made.
    static QString homeTrashFolder();
};
