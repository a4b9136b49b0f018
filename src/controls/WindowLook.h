#pragma once

// The look the windows are laid out for, to the pixel. They were drawn on Windows, for an
// 8-point sans-serif with Arial's widths, group titles 8 pixels in from the frame's edge and a
// narrow gap between a check box and its caption. The program and the tests that look at the
// windows both take the look from here, so that the tests see what the user sees.

#include <QFont>
#include <QRectF>
#include <QString>

class QWidget;

// Liberation Sans, Arimo or Arial (all three have Arial's widths) at 8 points, the first one
// installed; without any of them the system's sans-serif, narrowed until it is no wider.
QFont WindowFont();

// Makes the window font and style the application's, before any window is made. The style is
// Fusion, whatever the desktop's, with those group titles and gaps.
void UseWindowLook();

// A control's caption, the space the control gives it and how it is drawn there (alignment
// and word wrap, as for QPainter::drawText); an empty text for a control that shows none. A
// drop-down list's caption is its widest row.
struct TCaption
{
    QString Text;
    QRectF Space;
    int Flags = 0;
};
TCaption CaptionOf(const QWidget &control);

// From the window's first showing on, each caption of the window (label, button, check box,
// radio button, group title, and the rows of a drop-down list) that is wider than its control at
// the control's font is drawn narrower: semi-condensed, or condensed where that is not enough.
// A caption that fits keeps the font.
void FitCaptionsWhenShown(QWidget &window);
