#pragma once

// One tone column of the main window: every control of a tone with its handlers, which send
// each change at once, and the decoding of a received tone block into these controls. The
// four columns are four instances that differ only in their tone number.

#include "protocol/MessageView.h"
#include "protocol/ToneParams.h"

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QScrollBar;
class QSlider;
class QWidget;
class TDropDownList;
class TEditBox;
class TEnvelopeImage;
class TEnveloppe;
class TRadioGroup;
class TUpDown;

class TToneColumn : public QObject
{
    Q_OBJECT
public:
    // Sends one parameter of this tone: its offset in the tone block and the value text. Builds
    // the destination when called, so the part and header of that moment are used.
    using TSender = std::function<void(int offset, const std::string &valueText)>;

    // Creates the controls on container, shifted right by the column's place.
    TToneColumn(int tone, QWidget *container, TSender send);

    int Tone() const { return ToneNumber; }
    // The envelope images are made once the envelope objects exist.
    void AttachEnvelopes(TEnveloppe &amp, TEnveloppe &pitch, TEnveloppe &filter);

    // Sets the controls from a tone block, each step only when its bytes are in the message.
    // Every control whose value changes runs its handler, which sends the value back; an error
    // of such a send ends the decoding there. Returns whether any step was applied (then the
    // three envelope images have been repainted).
    bool Decode(const protocol::TMessageView &message);

    TEnvelopeImage *AmpImage() const { return Images[0]; }
    TEnvelopeImage *PitchImage() const { return Images[1]; }
    TEnvelopeImage *FilterImage() const { return Images[2]; }

private:
    // One handler per kind of control.
    void CheckBoxClick(const protocol::TToneParam &param, QCheckBox *box);
    void RadioGroupClick(const protocol::TToneParam &param, TRadioGroup *group);
    void ScrollBarChange(const protocol::TToneParam &param, QScrollBar *bar);
    void TrackBarChange(const protocol::TToneParam &param, QSlider *bar);
    void WaveListChange();
    void FilterListChange();
    void FxmDepthChange();

    void SendValue(int offset, int value);
    QString Name(const char *stem) const;
    QPoint At(int left, int top) const;
    QLabel *MakeLabel(const char *stem, const QString &caption, int left, int top);
    QScrollBar *MakeScrollBar(const char *stem, const protocol::TToneParam &param,
                              const QString &hint, QRect place);
    QSlider *MakeTrackBar(const char *stem, const protocol::TToneParam &param, const QString &hint,
                          QRect place);
    QCheckBox *MakeCheckBox(const char *stem, const protocol::TToneParam &param,
                            const QString &caption, QRect place);

    int ToneNumber;
    int Left;
    QWidget *Container;
    TSender Send;

    QFrame *BevelTone = nullptr;
    QCheckBox *CBSwitch = nullptr;
    TDropDownList *LBWave = nullptr;
    TRadioGroup *RadioGroupGain = nullptr;
    QFrame *BevelFxm = nullptr;
    TRadioGroup *RadioGroupFxm = nullptr;
    QCheckBox *CBFxmSwitch = nullptr;
    TUpDown *UpDownFxmDepth = nullptr;
    TEditBox *EditFxmDepth = nullptr;
    QScrollBar *BarLevel = nullptr;
    QScrollBar *BarPan = nullptr;
    QCheckBox *CBRandomPan = nullptr;
    QScrollBar *BarAlternatePan = nullptr;
    QScrollBar *BarTune = nullptr;
    QScrollBar *BarFineTune = nullptr;
    TDropDownList *LBFilter = nullptr;
    QSlider *BarCutOff = nullptr;
    QSlider *BarReso = nullptr;
    QScrollBar *BarVeloSensAmp = nullptr;
    QScrollBar *BarPitchEnvDepth = nullptr;
    QScrollBar *BarVeloSensPitch = nullptr;
    QScrollBar *BarFilterEnvDepth = nullptr;
    QScrollBar *BarVeloSensFilter = nullptr;
    std::array<TEnvelopeImage *, 3> Images {};
};
