#pragma once

// The MIDI monitor window: every message the windows send and the hand-over receives, with its
// meaning, filters, copying and saving. It records from the moment it is made, shown or not.

#include "MonitorModel.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QShowEvent;
class QTableView;

namespace monitor {

class TFormMonitor : public QWidget
{
    Q_OBJECT
public:
    explicit TFormMonitor(QWidget *parent = nullptr);
    ~TFormMonitor() override;

    TMonitorModel &Model() { return *MonitorModel; }
    TMonitorFilter &Filter() { return *MonitorFilter; }
    QTableView &View() { return *Table; }

    // The model's rows behind the view's selection (all shown rows when all is set), in order.
    std::vector<int> ChosenRows(bool all) const;
    void CopySelection();
    // Asks for a file; .syx saves the System Exclusive bytes, any other name the text.
    void SaveRows(bool all);

protected:
    // The first opening raises the model's cap from UnwatchedCap to DefaultCap.
    void showEvent(QShowEvent *event) override;

private:
    TMonitorModel *MonitorModel;
    TMonitorFilter *MonitorFilter;
    QTableView *Table;
    QCheckBox *HideSensing;
    QComboBox *Direction;
    QLineEdit *TextFilter;
    bool Following = true; // the view keeps the newest row in sight
    QTimer ScrollLater;
};

} // namespace monitor
