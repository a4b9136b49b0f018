#pragma once

// One group of the mixer (level, pan, reverb send or delay send): for each of the eight parts a
// row label, a box and a bar, kept showing the same value. Every move of a bar is reported as
// the group's eight part values, in the order they go out; the window sends them.

#include "MixerSession.h"
#include "sysex/MixerMessages.h"

#include <QWidget>

#include <array>

class QLabel;
class QScrollBar;
class TEditBox;

class TMixerGroup : public QWidget
{
    Q_OBJECT
public:
    // Where the rows go in the panel that holds the group.
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

    TMixerGroup(sysex::mixer::TSendGroup group, const TMixerSession &session, QWidget *panel,
                const TGeometry &geometry);

    // From the first opening on, bar moves are reported. Connecting again changes nothing.
    void ConnectSendHandlers();

    // suffix 1..8 (part R, parts 1 to 7).
    QScrollBar *Bar(int suffix) const { return Bars[Index(suffix)]; }
    TEditBox *Box(int suffix) const { return Boxes[Index(suffix)]; }

    // Box handler: every bar follows its box.
    void EditChange();
    // Bar handler: every box shows its bar, then Change for each part in sending order.
    void BarChange();

signals:
    // part indexes sysex::mixer::Parts; position is the part's bar position. A slot that throws
    // ends the bar handler at that part.
    void Change(int part, int position);

private:
    void ApplyPendingEdits();
    static std::size_t Index(int suffix) { return static_cast<std::size_t>(suffix - 1); }

    const TMixerSession &Session;
    std::array<QLabel *, sysex::mixer::PartCount> Labels {};
    std::array<TEditBox *, sysex::mixer::PartCount> Boxes {};
    std::array<QScrollBar *, sysex::mixer::PartCount> Bars {};
    bool SendConnected = false;
};
