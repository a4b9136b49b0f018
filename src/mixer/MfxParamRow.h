#pragma once

// One of the MFX window's twelve parameter rows: the parameter's name, a bar or a list for its
// value, and the value as the instrument shows it. What the row stands for changes with the
// type; a row the type does not use is hidden. A value set from the program is shown and never
// reported; the user's move or pick is.

#include "sysex/MfxParams.h"

#include <QObject>

class QLabel;
class QWidget;
class TDropDownList;
class TTrackBar;

class TMfxParamRow : public QObject
{
    Q_OBJECT
public:
    // number 1..12; top: the row's place in the parent.
    TMfxParamRow(int number, QWidget &parent, int top);

    // Shows param (none: hides the row) with its stored byte; a byte out of its range is shown
    // as the nearest value and marked. Reports nothing.
    void Show(const sysex::mfx::TMfxParam *param, int byte);
    // The byte the control stands at.
    int Value() const;
    // Whether the bar is held by the mouse: the moves of one hold are one undo step.
    bool Held() const;

signals:
    // The user moved the bar or picked another item.
    void Change(int byte);
    // The user pressed the bar.
    void Pressed();

private:
    void ShowText(int byte, bool inRange, int stored);

    const sysex::mfx::TMfxParam *Param = nullptr;
    QLabel *Caption = nullptr;
    TTrackBar *Bar = nullptr;
    TDropDownList *List = nullptr;
    QLabel *ValueText = nullptr;
    bool Showing = false;
};
