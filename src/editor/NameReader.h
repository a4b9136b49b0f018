#pragma once

// File > Read Patch Names...: the instrument knows the name of each of its 1056 patches, and the
// settings file should hold them. Each patch is picked on the selected part, with the messages
// the patch list sends, and the 12 characters its patch common block starts with are asked for;
// the names that came go into the settings file and the patch list. The part ends as it was:
// its patch selection and whole temporary patch are kept before the first pick and sent back
// after the last, also when the read is cancelled or fails.

#include "session/AnswerWait.h"
#include "sysex/ToneParams.h"

#include <QObject>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QMenu;
class QProgressDialog;
class QWidget;
class TPartSession;
class TPatchFileActions;

class TNameReader : public QObject
{
    Q_OBJECT
public:
    static constexpr int NameSize = 12;

    // window: where the progress shows; files: sends the part's patch back and shows the report.
    TNameReader(QWidget &window, TPartSession &session, TPatchFileActions &files);

    // Puts the item in the File menu, after the patch files.
    void AddTo(QMenu &file);

    // Reads the names of the first count patches (all of them from the menu), as a job of its
    // own.
    void ReadNames(int count = sysex::PatchNameCount);

signals:
    // The name of the done-th patch has been asked for, answered or not.
    void NameAsked(int done);

private:
    void ReadNames(int part, int count);
    // Asks for each name in turn until count or a cancel; a failure throws.
    void AskNames(int part, QProgressDialog &progress,
                  std::vector<std::optional<std::string>> &names);
    std::optional<std::string> AskName(int part, int index);
    void TakeAnswer(int part, std::span<const std::uint8_t> message);
    // Writes what came into the settings file; returns how many names changed.
    int SaveNames(const std::vector<std::optional<std::string>> &names);

    QWidget &Window;
    TPartSession &Session;
    TPatchFileActions &Files;
    TAnswerWait Answer;
    std::array<char, NameSize> Name {};
    std::bitset<NameSize> NameArrived;
};
