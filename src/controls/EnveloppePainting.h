#pragma once

// The picture of an envelope in its image: white boxes between the points, the curve in black,
// the handles and the limit line of the handle being dragged in pure red.

#include "sysex/Enveloppe.h"

class QImage;

// Draws the whole picture on image. An image of another size, or one that is not 32-bit RGB, is
// replaced by a Width x Height RGB32 image first.
void PaintEnveloppe(const sysex::TEnveloppe &envelope, QImage &image, bool limitLine);

// True when the pixel is pure red (255, 0, 0): only handles and the limit line are. False
// outside the image.
bool IsPureRed(const QImage &image, int x, int y);
