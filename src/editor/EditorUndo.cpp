#include "EditorUndo.h"

#include "PartSession.h"
#include "PatchFileActions.h"
#include "PatchNameBox.h"
#include "ToneColumn.h"
#include "controls/ControlWatch.h"
#include "controls/EnvelopeImage.h"
#include "controls/UndoCoordinator.h"
#include "controls/UndoSteps.h"
#include "session/ErrorPolicy.h"
#include "sysex/ToneParams.h"

#include <QUndoStack>
#include <optional>
#include <utility>

TEditorUndo::TEditorUndo(QObject *parent, TUndoCoordinator &undo, TPartSession &session,
                         TPatchFileActions &files, TPatchNameBox &name,
                         std::span<TToneColumn *const> columns,
                         std::function<void(int group, int patch)> pickPatch)
    : QObject(parent)
    , Undo(undo)
    , Session(session)
{
    for (TToneColumn *column : columns)
        WatchColumn(column);
    connect(&files, &TPatchFileActions::PatchFileOpened, this,
            [this, &files](int part, std::vector<std::vector<std::uint8_t>> before,
                           std::vector<std::vector<std::uint8_t>> after) {
                if (part < 0 || part >= TUndoCoordinator::PartCount)
                    return;
                Undo.PartStack(part).push(new TUndoStep(
                    QStringLiteral("Open Patch"),
                    [&files, part, before = std::move(before)] {
                        session::RunHandler([&] { files.SendPatchMessages(part, before); });
                    },
                    [&files, part, after = std::move(after)] {
                        session::RunHandler([&] { files.SendPatchMessages(part, after); });
                    }));
            });
    // Undone and redone on the part the name went to, whatever part the window shows then.
    connect(&name, &TPatchNameBox::NameSent, this,
            [this, &name](int part, const QString &before, const QString &after) {
                if (part < 0 || part >= TUndoCoordinator::PartCount)
                    return;
                Undo.PartStack(part).push(new TUndoStep(
                    QStringLiteral("Patch Name"),
                    [&name, part, before] { name.SendName(part, before); },
                    [&name, part, after] { name.SendName(part, after); }));
            });
    connect(&session, &TPartSession::PatchSelectionSent, this,
            [this, pickPatch = std::move(pickPatch)](
                int part, std::optional<sysex::patch::TPatchSelection> before,
                sysex::patch::TPatchSelection after) {
                // A selection an undo or redo sends is that step's own. Taken when it is sent,
                // the step is the history's of the part it went to, from what that part played,
                // whatever part is clicked while the pick waits. A part whose patch is not known
                // cannot be given it back.
                if (Undo.Undoing() || part < 0 || part >= TUndoCoordinator::PartCount || !before
                    || before->Group == sysex::NoSelection || before->Patch == sysex::NoSelection
                    || (before->Group == after.Group && before->Patch == after.Patch))
                    return;
                const auto pick = [pickPatch](sysex::patch::TPatchSelection selection) {
                    session::RunHandler([&] { pickPatch(selection.Group, selection.Patch); });
                };
                Undo.PartStack(part).push(new TUndoStep(
                    QStringLiteral("Patch Part %1").arg(part + 1),
                    [pick, before = *before] { pick(before); }, [pick, after] { pick(after); }));
            });
}

void TEditorUndo::WatchColumn(TToneColumn *column)
{
    // The part the change goes to: while a click waits behind a running request, the one
    // clicked.
    const auto messagePartStack
        = [this]() -> QUndoStack & { return Undo.PartStack(Session.TargetPart()); };
    auto *watch
        = new TControlWatch(this, messagePartStack, [column] { return column->IsShowing(); });
    for (int row = 0; row < sysex::ToneControlCount; ++row) {
        QWidget *control = column->ControlOf(row);
        auto *image = qobject_cast<TEnvelopeImage *>(control);
        if (!image) {
            if (control)
                watch->Watch(control, column->StepName(row));
            continue;
        }
        connect(image, &TEnvelopeImage::Dragged, this,
                [messagePartStack, image, name = column->StepName(row)](
                    const TEnvelopeValues &before, const TEnvelopeValues &after) {
                    messagePartStack().push(new TUndoStep(
                        name, [image, before] { image->Restore(before); },
                        [image, after] { image->Restore(after); }));
                });
    }
}
