#include "PatchNameBox.h"

#include "PartSession.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "sysex/PatchMessages.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

using sysex::patch::PatchNameSize;

TPatchNameBox::TPatchNameBox(TPartSession &session, QWidget *parent)
    : QLineEdit(parent)
    , Session(session)
{
    setObjectName(QStringLiteral("EditPatchName"));
    setGeometry(4, 12, 96, 21);
    setMaxLength(PatchNameSize);
    // The characters from the space to the closing brace, as the instrument stores them.
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[ -}]{0,%1}").arg(PatchNameSize)), this));
    setToolTip(QStringLiteral("Name of the patch in the selected part"));
    connect(&session, &TPartSession::NameReceived, this,
            [this](const std::string &name) { Show(QString::fromLatin1(name)); });
    connect(this, &QLineEdit::editingFinished, this, [this] { FinishEdit(); });
    // A name typed and not yet confirmed goes before a job starts, not in its middle: a name read
    // would otherwise take it for the name of the first patch it picks.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::Starting, this,
            [this] { FinishEdit(); });
}

void TPatchNameBox::Show(const QString &name)
{
    Known = name;
    // A name being typed stays as the user typed it, and goes when it is finished.
    if (hasFocus() && isModified())
        return;
    setText(name);
}

bool TPatchNameBox::SendName(int part, const QString &name)
{
    bool sent = false;
    session::RunHandler([&] {
        Session.Output().SendSysExText(
            sysex::patch::PatchNameMessage(Session.DataSetHeader(), part, name.toStdString()));
        sent = true;
    });
    if (sent && part == Session.MessagePart())
        Show(name);
    return sent;
}

void TPatchNameBox::FinishEdit()
{
    // The padding is the instrument's: a name typed with trailing spaces is the same name.
    const QString name = text().remove(QRegularExpression(QStringLiteral(" +$")));
    if (name == Known)
        return;
    const QString before = Known;
    auto &jobs = session::TRequestProcedure::Instance();
    if (jobs.Running() && !jobs.InJobCode()) {
        // Finished while a job runs: sent once it has ended, to the part it was typed for.
        const int part = Session.TargetPart();
        Known = name;
        jobs.Run(
            this, QStringLiteral("Sending..."),
            [this, part, before, name] {
                if (SendName(part, name))
                    emit NameSent(part, before, name);
            },
            QStringLiteral("name"));
        return;
    }
    const int part = Session.MessagePart();
    if (SendName(part, name))
        emit NameSent(part, before, name);
}
