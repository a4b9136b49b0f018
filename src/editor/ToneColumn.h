#pragma once

// One tone column of the main window: a widget that makes every control of a tone from the tone
// table and places it in its own coordinates, runs the controls' handlers and reports each value
// they send as a ParameterChange; it shows the values decoded from a received tone block. The
// four columns are four instances that differ only in their tone number.

#include "sysex/PatchMessages.h"
#include "sysex/ToneParams.h"

#include <QWidget>
#include <array>
#include <set>
#include <string>
#include <vector>

class QLabel;
class TEnvelopeImage;
namespace sysex {
class TEnveloppe;
}

class TToneColumn : public QWidget
{
    Q_OBJECT
public:
    // Makes the controls; the column then lies at its tone's place on parent.
    TToneColumn(int tone, QWidget *parent);

    int Tone() const { return ToneNumber; }
    // The envelope images are made once the envelope objects exist.
    void AttachEnvelopes(sysex::TEnveloppe &amp, sysex::TEnveloppe &pitch,
                         sysex::TEnveloppe &filter);

    // Sets the controls to decoded values, in their order. Every control whose value changes
    // runs its handler, which sends the value back; an error of such a send ends the showing
    // there. Then repaints the three envelope images, when there was any value.
    void Show(const std::vector<sysex::patch::TToneValue> &values);

    TEnvelopeImage *AmpImage() const { return Images[0]; }
    TEnvelopeImage *PitchImage() const { return Images[1]; }
    TEnvelopeImage *FilterImage() const { return Images[2]; }

    // The row's control; none for a frame, nor for an envelope before AttachEnvelopes.
    QWidget *ControlOf(int row) const { return Controls[static_cast<std::size_t>(row)]; }
    // The value a control shows (position, item, row, ticked or shown number); rows with no
    // single value give 0.
    int ValueOf(int row) const;
    // What a step of the row's control is called in the Edit menu, e.g. "Level Tone 2".
    QString StepName(int row) const;
    // True while Show sets the controls: their changes are the instrument's, not the user's.
    bool IsShowing() const { return Showing; }
    // The user's value at this offset waits to be sent: Show leaves its control as it is until
    // it is released.
    void Hold(int offset) { HeldOffsets.insert(offset); }
    void Release(int offset) { HeldOffsets.erase(offset); }

signals:
    // One message's worth: the parameter's offset in the tone block and the value as hex text
    // (two bytes for the wave number). A connected receiver that throws ends the handler.
    void ParameterChange(int offset, const std::string &valueText);

private:
    void MakeControl(int row);
    QLabel *MakeLabel(const sysex::TLabelRow &label);
    QString Name(const char *stem) const;
    template<class T>
    T *Control(const sysex::TToneParam &param) const;

    // One handler per kind of control.
    void CheckBoxClick(int row);
    void RadioGroupClick(int row);
    void ScrollBarChange(int row);
    void TrackBarChange(int row);
    void WaveListChange(int row);
    void FilterListChange(int row);
    void DepthChange(int row);
    void SendValue(int offset, int value);
    void ShowValue(const sysex::patch::TToneValue &value);

    int ToneNumber;
    std::array<QWidget *, sysex::ToneControlCount> Controls {};
    // The up-down buttons of a depth field.
    std::array<QWidget *, sysex::ToneControlCount> Companions {};
    std::array<TEnvelopeImage *, 3> Images {};
    bool Showing = false;
    std::set<int> HeldOffsets;
};
