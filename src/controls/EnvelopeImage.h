#pragma once

// The image of one envelope in a tone column: shows the envelope's picture, starts a drag on a
// pure-red pixel, moves the handle while the button is held, and on release sends the
// envelope's times and levels through the sender it was given.

#include "EnveloppePainting.h"
#include "sysex/ToneParams.h"

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>

// An envelope's times and levels, as a drag leaves them.
struct TEnvelopeValues
{
    std::array<int, 4> Levels {};
    std::array<int, 4> Times {};
    bool operator==(const TEnvelopeValues &) const = default;
};

class TEnvelopeImage : public QWidget
{
    Q_OBJECT
public:
    // send(offset, value) sends one tone parameter; it may throw, which ends the release there.
    // Without a sender a release sends nothing.
    using TSender = std::function<void(int offset, int value)>;

    TEnvelopeImage(sysex::TEnveloppe &envelope, const sysex::TEnvelopeParams &params, TSender send,
                   QWidget *parent = nullptr);

    sysex::TEnveloppe &Envelope() { return Env; }
    const QImage &Image() const { return Picture; }
    // Paints the envelope on the image and shows it.
    void Repaint(bool limitLine = false);
    TEnvelopeValues Values() const;
    // Sets the envelope to values, shows it and sends it as a release does; an error of a send
    // is reported and ends the sending there.
    void Restore(const TEnvelopeValues &values);

signals:
    // A drag, press to release, that left the envelope changed; sent already.
    void Dragged(const TEnvelopeValues &before, const TEnvelopeValues &after);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void SendValues();

    sysex::TEnveloppe &Env;
    sysex::TEnvelopeParams Params;
    TSender Send;
    QImage Picture;
    TEnvelopeValues AtPress;
};
