#pragma once

// The main window's patch files: File > Open Patch..., Save Patch..., Recent Patches, and a .syx
// file dropped on the window. Each works on the part the session has selected, as a job of the
// conversation with the instrument: one dropped while another job runs waits behind it. A file
// with several parts' patches asks which one to send.

#include "midi/SysExText.h"
#include "sysex/PatchFile.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QMenu;
class QStatusBar;
class QWidget;
class TPartSession;

class TPatchFileActions : public QObject
{
    Q_OBJECT
public:
    // window: where the dialogs open and files are dropped; bar: where the last file's report
    // shows; patchName: the name a saved patch is offered under.
    TPatchFileActions(QWidget &window, TPartSession &session, QStatusBar &bar,
                      std::function<QString()> patchName);

    // Puts the items at the top of the File menu.
    void AddTo(QMenu &file);

    // The menu's dialogs, then the work itself.
    void OpenPatchClick();
    void SavePatchClick();
    void OpenPatch(const QString &path);
    void SavePatch(const QString &path);
    // Sends the data sets of a patch to part (0..6) with our device ID, whatever part and device
    // they were made for, then asks for the part again.
    void SendPatchMessages(int part, const std::vector<std::vector<std::uint8_t>> &messages);
    // The same without asking for the part again.
    void SendPatchData(int part, const std::vector<std::vector<std::uint8_t>> &messages);
    // Shows the last report of the patches' work in the status bar.
    void ShowReport(const QString &text);

signals:
    // A patch file was sent to part (0..6): the data sets the part held before, and the file's.
    // Not for a file sent without the part's whole patch kept: that one cannot be undone.
    void PatchFileOpened(int part, std::vector<std::vector<std::uint8_t>> before,
                         std::vector<std::vector<std::uint8_t>> after);

protected:
    // Takes a .syx file dropped on the window.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The job of an opening: the part's patch kept for the undo, then the file sent.
    void SendFile(const QString &path, int part, const sysex::TPatchFile &file,
                  const QString &source);
    void FillRecentPatchMenu();
    // Puts the file first in the recent files of Ombrix.conf.
    void RememberPatchFile(const QString &path);

    QWidget &Window;
    TPartSession &Session;
    QStatusBar &Bar;
    std::function<QString()> PatchName;
    QString PatchFileDirectory;
    QMenu *RecentPatchMenu = nullptr;
    QLabel *Report = nullptr;
};
