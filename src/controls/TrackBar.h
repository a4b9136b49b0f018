#pragma once

// A track bar that leaves the ends of its channel free, as a Windows track bar does: the
// channel and the thumb keep clear of the first and last pixels along the bar, so that a
// caption placed just above it, reaching into its top, stays clear of them.

#include <QSlider>

class TTrackBar : public QSlider
{
    Q_OBJECT
public:
    explicit TTrackBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // How far the channel keeps from each end: as far as the captions above the main window's
    // track bars reach into them.
    static constexpr int FreeEnd = 5;

protected:
    void initStyleOption(QStyleOptionSlider *option) const override;
};
