#pragma once

// The main window's undo steps, each on the history of the part its message went to: a tone
// control's change (through the shared control watcher), an envelope drag, a patch picked for
// the part, a patch file opened into it and the patch renamed. A change made while a part click
// waits behind a running request is the clicked part's, which it is sent to once that part is
// read.

#include <QObject>

#include <functional>
#include <span>

class TPartSession;
class TPatchFileActions;
class TPatchNameBox;
class TToneColumn;
class TUndoCoordinator;

class TEditorUndo : public QObject
{
public:
    // pickPatch shows a group and patch in the window's lists and sends them as a pick would.
    TEditorUndo(QObject *parent, TUndoCoordinator &undo, TPartSession &session,
                TPatchFileActions &files, TPatchNameBox &name,
                std::span<TToneColumn *const> columns,
                std::function<void(int group, int patch)> pickPatch);

private:
    void WatchColumn(TToneColumn *column);

    TUndoCoordinator &Undo;
    TPartSession &Session;
};
