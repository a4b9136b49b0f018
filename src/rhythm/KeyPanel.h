#pragma once

// The selected key's controls, laid out like a tone column of the main window and made in one
// loop over the key table: a check box, a list, a bar with its value's text, the wave list or
// an envelope picture for each row, named after the row (ObjectName). It shows a key block and
// tells which row the user changed; what that change sends, and its undo step, are the
// window's. Showing a key sends nothing.

#include "sysex/Enveloppe.h"
#include "sysex/RhythmMessages.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QLabel;
class TEnvelopeImage;

class TKeyPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TKeyPanel(QWidget *parent = nullptr);
    ~TKeyPanel() override;

    // Shows a key's values; a key not read shows nothing and takes no input.
    void Show(const std::optional<sysex::rhythm::TKeyBlock> &key);
    // Writes what the row's control shows into the row's bytes of key.
    void Write(int row, sysex::rhythm::TKeyBlock &key);

    QWidget *ControlOf(int row) const { return Controls[static_cast<std::size_t>(row)]; }
    TEnvelopeImage *ImageOf(int row) const;
    // While a bar of the panel is held by the pointer, the number of that press (its changes are
    // one drag); 0 otherwise.
    int Drag() const;

signals:
    // The user changed the row's control (an envelope: released a handle it moved).
    void Edited(int row);

private:
    void MakeRow(int row, QWidget *column);
    void ShowText(int row, const sysex::rhythm::TKeyBlock &key);

    std::array<QWidget *, sysex::rhythm::KeyParamCount> Controls {};
    // The shown value beside each control.
    std::array<QLabel *, sysex::rhythm::KeyParamCount> Texts {};
    std::array<std::unique_ptr<sysex::TEnveloppe>, sysex::rhythm::KeyParamCount> Envelopes;
    bool Showing = false;
    int Presses = 0;
};
