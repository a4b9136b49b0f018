#pragma once

// File > Receive Bulk Dump...: listens while the owner starts a bulk dump on the instrument's
// panel, shows the data sets and bytes as they come and which areas have come, checks every
// checksum and names each message whose checksum is bad, ends two seconds after the last data
// set or on Stop, and saves the messages exactly as they came.

#include "midi/SysExText.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace pattern {

class TDumpReceiver : public QDialog
{
    Q_OBJECT
public:
    // The time after the last data set when the dump is taken as over.
    static constexpr int QuietMs = 2000;

    explicit TDumpReceiver(QWidget &parent);

    // Listens to the program's input until the dump is over and the dialog is closed; a job's
    // code, whose decoder it attaches.
    void Listen();
    // A whole message received. Only the instrument's data sets count; others are kept.
    void Take(std::span<const std::uint8_t> message);
    // Saves what came, as it came; an error text naming the file, or empty.
    QString Save(const QString &path);

    bool Over() const { return Ended; }
    int DataSets() const { return Count; }
    const std::vector<std::string> &BadChecksums() const { return Bad; }

private:
    void End();
    void ShowCount();

    QLabel *CountLabel = nullptr;
    QLabel *AreasLabel = nullptr;
    QListWidget *BadList = nullptr;
    QPushButton *StopButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QTimer Quiet;
    std::vector<midi::TByteStream> Messages;
    int Count = 0;
    std::size_t Bytes = 0;
    std::set<std::string> Groups;
    std::vector<std::string> Bad;
    bool Ended = false;
};

} // namespace pattern
