#pragma once

// One group of the mixer (level, pan, reverb send or delay send): for each of the eight parts a
// row label, a box and a bar in the group's panel, kept showing the same value, and every move
// of a bar sent as the group's eight control changes.

#include "MixerSession.h"
#include "protocol/MixerProtocol.h"

#include <QObject>

#include <array>

class QLabel;
class QScrollBar;
class QWidget;
class TEditBox;

class TMixerGroup : public QObject
{
    Q_OBJECT
public:
    struct TGeometry
    {
        int Top; // of the top row (part 7)
        int RowHeight;
        int LabelLeft;
        int BoxLeft;
        int BoxWidth;
        int BarLeft;
        int BarWidth;
    };

    TMixerGroup(mixer::TSendGroup group, const TMixerSession &session, QWidget *panel,
                const TGeometry &geometry);

    // From the first opening on, bar moves are sent. Connecting again changes nothing.
    void ConnectSendHandlers();

    // suffix 1..8 (part R, parts 1 to 7).
    QScrollBar *Bar(int suffix) const { return Bars[Index(suffix)]; }
    TEditBox *Box(int suffix) const { return Boxes[Index(suffix)]; }

    // Box handler: every bar follows its box.
    void EditChange();
    // Bar handler: every box shows its bar, then the eight control changes go out.
    void BarChange();

private:
    void ApplyPendingEdits();
    static std::size_t Index(int suffix) { return static_cast<std::size_t>(suffix - 1); }

    mixer::TSendGroup Group;
    const TMixerSession &Session;
    std::array<QLabel *, mixer::PartCount> Labels {};
    std::array<TEditBox *, mixer::PartCount> Boxes {};
    std::array<QScrollBar *, mixer::PartCount> Bars {};
    bool SendConnected = false;
};
