#include "FormSetup.h"

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/TextToInt.h"
#include "controls/UpDown.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <algorithm>
#include <exception>

namespace {
const char *const DeviceIdHint = "See SYSTEM - MIDI PARM1/2 - DEVICE ID on your MC307";
const char *const GapHint = "Time between two data messages; the MC-307 needs at least 20 ms";

// The instrument's factory device ID, and where the dialog starts when there is no file.
constexpr int FactoryDeviceId = 17;
// A typed ID is kept within these; the arrows start one higher, at the factory ID.
constexpr int LowestDeviceId = 16;
constexpr int HighestDeviceId = 32;

// Fills a list with the device names in the service's order, so that a row is a device index.
// The service may be unusable: the list then stays empty and the error is kept for the user.
template<class TDevices>
void FillDeviceList(TDropDownList *list, TDevices &(*devices)(), QStringList &errors)
{
    try {
        TDevices &set = devices();
        for (int i = 0; i < set.Count(); ++i)
            list->addItem(QString::fromStdString(set.Name(i)));
    } catch (const std::exception &e) {
        list->clear();
        const QString text = QString::fromStdString(e.what());
        if (!errors.contains(text))
            errors.append(text);
    }
}
} // namespace

TFormSetup::TFormSetup(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , SetupPatchNames(settings::PatchNameCount)
{
    setObjectName(QStringLiteral("FormSetup"));
    setWindowTitle(QStringLiteral("Setup"));
    // Taller than it was by the row of the search's result, below the buttons.
    setFixedSize(360, 240);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 345, 161);

    const auto label = [this](const char *name, const char *caption, int top) {
        auto *control = new QLabel(QString::fromLatin1(caption), this);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(24, top, 90, 22);
        return control;
    };
    const auto list = [this](const char *name, int top) {
        auto *control = new TDropDownList(this);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(120, top, 217, 22);
        return control;
    };
    LabelSetup_Midi_in = label("LabelSetup_Midi_in", "Port MIDI In", 36);
    LBSetup_Midi_in = list("LBSetup_Midi_in", 36);
    LabelSetup_Midi_out = label("LabelSetup_Midi_out", "Port MIDI Out", 76);
    LBSetup_Midi_out = list("LBSetup_Midi_out", 76);
    LabelSetup_Id = label("LabelSetup_Id", "Id MC307", 116);

    EditSetup_Id = new TEditBox(this);
    EditSetup_Id->setObjectName(QStringLiteral("EditSetup_Id"));
    EditSetup_Id->setGeometry(120, 116, 41, 22);
    EditSetup_Id->setText(QString::number(FactoryDeviceId));
    EditSetup_Id->setToolTip(QString::fromLatin1(DeviceIdHint));

    UpDown_Setup_Id = new TUpDown(FactoryDeviceId, HighestDeviceId, FactoryDeviceId, this);
    UpDown_Setup_Id->setObjectName(QStringLiteral("UpDown_Setup_Id"));
    UpDown_Setup_Id->setGeometry(161, 116, 17, 22);
    UpDown_Setup_Id->setToolTip(QString::fromLatin1(DeviceIdHint));
    UpDown_Setup_Id->SetAssociate(EditSetup_Id);
    UpDown_Setup_Id->SetTextReader(
        [](const QString &text) { return controls::DecimalTextToInt(text); });

    // Beside the ID, inside the frame: the controls that were there keep their places.
    LabelSetup_Gap = new QLabel(QStringLiteral("Gap (ms)"), this);
    LabelSetup_Gap->setObjectName(QStringLiteral("LabelSetup_Gap"));
    LabelSetup_Gap->setGeometry(200, 116, 58, 22);

    EditSetup_Gap = new TEditBox(this);
    EditSetup_Gap->setObjectName(QStringLiteral("EditSetup_Gap"));
    EditSetup_Gap->setGeometry(262, 116, 41, 22);
    EditSetup_Gap->setText(QString::number(settings::DefaultGapMs));
    EditSetup_Gap->setToolTip(QString::fromLatin1(GapHint));

    UpDown_Setup_Gap
        = new TUpDown(settings::MinGapMs, settings::MaxGapMs, settings::DefaultGapMs, this);
    UpDown_Setup_Gap->setObjectName(QStringLiteral("UpDown_Setup_Gap"));
    UpDown_Setup_Gap->setGeometry(303, 116, 17, 22);
    UpDown_Setup_Gap->setToolTip(QString::fromLatin1(GapHint));
    UpDown_Setup_Gap->SetAssociate(EditSetup_Gap);
    UpDown_Setup_Gap->SetTextReader(
        [](const QString &text) { return controls::DecimalTextToInt(text); });

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(196, 180, 75, 25);
    OKBtn->setDefault(true);

    CancelBtn = new QPushButton(QStringLiteral("Annuler"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(278, 180, 75, 25);
    CancelBtn->setAutoDefault(false);

    DetectBtn = new QPushButton(QStringLiteral("Detect"), this);
    DetectBtn->setObjectName(QStringLiteral("DetectBtn"));
    DetectBtn->setGeometry(8, 180, 75, 25);
    DetectBtn->setAutoDefault(false);
    DetectBtn->setToolTip(QStringLiteral("Find the MC-307 on the MIDI ports"));

    LabelSetup_Detect = new QLabel(this);
    LabelSetup_Detect->setObjectName(QStringLiteral("LabelSetup_Detect"));
    LabelSetup_Detect->setGeometry(8, 212, 345, 20);

    connect(DetectBtn, &QPushButton::clicked, this, &TFormSetup::DetectBtnClick);
    connect(EditSetup_Id, &TEditBox::Change, this, &TFormSetup::EditSetup_IdChange);
    connect(EditSetup_Gap, &TEditBox::Change, this, &TFormSetup::EditSetup_GapChange);
    connect(OKBtn, &QPushButton::clicked, this, &TFormSetup::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TFormSetup::CancelBtnClick);

    FitCaptionsWhenShown(*this);
    CentreOnScreen();
}

void TFormSetup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A window coming back from the task bar is not a new showing of the dialog.
    if (event->spontaneous())
        return;
    CentreOnScreen();
    FormShow();
}

void TFormSetup::keyPressEvent(QKeyEvent *event)
{
    // Escape is the cancel button's key, as a click on it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormSetup::CentreOnScreen()
{
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    QScreen *screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TFormSetup::FormShow()
{
    session::RunHandler([this] {
        LBSetup_Midi_in->clear();
        LBSetup_Midi_out->clear();
        LabelSetup_Detect->clear();
        QStringList errors;
        FillDeviceList(LBSetup_Midi_in, &midi::MidiIn, errors);
        FillDeviceList(LBSetup_Midi_out, &midi::MidiOut, errors);
        LBSetup_Midi_in->SetItemIndex(0);
        LBSetup_Midi_out->SetItemIndex(0);

        settings::TSettingsValues values;
        values.MidiInIndex = 0;
        values.MidiOutIndex = 0;
        values.DeviceId = FactoryDeviceId;
        values.PatchNames = SetupPatchNames;
        const settings::TReadOutcome outcome
            = settings::ReadSettingsFile(settings::SettingsFilePath(), values);
        SetupPatchNames = std::move(values.PatchNames);
        if (!outcome.Error.empty())
            errors.append(QString::fromStdString(outcome.Error));

        // A saved index beyond the lists leaves the first device selected; -1 selects nothing.
        if (values.MidiInIndex < LBSetup_Midi_in->count())
            LBSetup_Midi_in->SetItemIndex(values.MidiInIndex);
        if (values.MidiOutIndex < LBSetup_Midi_out->count())
            LBSetup_Midi_out->SetItemIndex(values.MidiOutIndex);
        EditSetup_Id->setText(QString::number(values.DeviceId));

        settings::TConfValues conf;
        const settings::TReadOutcome confOutcome
            = settings::ReadConfFile(settings::ConfFilePath(), conf);
        if (!confOutcome.Error.empty())
            errors.append(QString::fromStdString(confOutcome.Error));
        EditSetup_Gap->setText(QString::number(conf.GapMs));

        // The error box belongs over the dialog, which is only on screen once this returns.
        if (!errors.isEmpty())
            QMetaObject::invokeMethod(
                this,
                [errors] {
                    for (const QString &text : errors)
                        session::ReportError(text.toStdString());
                },
                Qt::QueuedConnection);
    });
}

void TFormSetup::EditSetup_IdChange()
{
    session::RunHandler([this] {
        const int id = std::clamp(controls::DecimalTextToInt(EditSetup_Id->text()), LowestDeviceId,
                                  HighestDeviceId);
        const QString text = QString::number(id);
        if (EditSetup_Id->text() != text)
            EditSetup_Id->setText(text);
        UpDown_Setup_Id->SetPosition(id);
    });
}

void TFormSetup::EditSetup_GapChange()
{
    session::RunHandler([this] {
        const int gap = std::clamp(controls::DecimalTextToInt(EditSetup_Gap->text()),
                                   settings::MinGapMs, settings::MaxGapMs);
        const QString text = QString::number(gap);
        if (EditSetup_Gap->text() != text)
            EditSetup_Gap->setText(text);
        UpDown_Setup_Gap->SetPosition(gap);
    });
}

void TFormSetup::DetectBtnClick()
{
    session::RunHandler([this] {
        if (Detector.Running())
            return;
        DetectBtn->setEnabled(false);
        const auto enable = [this] { DetectBtn->setEnabled(true); };
        std::optional<session::TDetected> found;
        try {
            found = Detector.Run([this](const std::string &text) {
                LabelSetup_Detect->setText(QString::fromStdString(text));
            });
        } catch (...) {
            enable();
            throw;
        }
        enable();
        if (Detector.Stopped()) {
            LabelSetup_Detect->setText(QStringLiteral("Search stopped"));
            return;
        }
        if (!found) {
            LabelSetup_Detect->setText(
                QStringLiteral("No MC-307 answered on %1 output ports").arg(Detector.Asked()));
            return;
        }
        if (found->Input < LBSetup_Midi_in->count())
            LBSetup_Midi_in->SetItemIndex(found->Input);
        if (found->Output < LBSetup_Midi_out->count())
            LBSetup_Midi_out->SetItemIndex(found->Output);
        EditSetup_Id->setText(QString::number(found->DeviceId));
        LabelSetup_Detect->setText(
            QStringLiteral("MC-307, ID %1: %2 / %3")
                .arg(found->DeviceId)
                .arg(QString::fromStdString(midi::MidiIn().Name(found->Input)),
                     QString::fromStdString(midi::MidiOut().Name(found->Output))));
    });
}

void TFormSetup::done(int result)
{
    // The search waits inside this dialog's events: it ends with the dialog.
    Detector.Stop();
    // What the search opened and the user did not take would feed the windows foreign traffic.
    if (result == QDialog::Accepted)
        Detector.Release(LBSetup_Midi_in->ItemIndex(), LBSetup_Midi_out->ItemIndex());
    else
        Detector.Release(-1, -1);
    QDialog::done(result);
}

void TFormSetup::OKBtnClick()
{
    session::RunHandler([this] {
        // A number still being typed counts, and line 3 is always a valid ID.
        EditSetup_Id->FinishEdit();
        EditSetup_IdChange();
        EditSetup_Gap->FinishEdit();
        EditSetup_GapChange();
        settings::WriteSettingsFile(settings::SettingsFilePath(), LBSetup_Midi_in->ItemIndex(),
                                    LBSetup_Midi_out->ItemIndex(),
                                    EditSetup_Id->text().toStdString(), SetupPatchNames);
        settings::TConfValues conf;
        conf.GapMs = UpDown_Setup_Gap->Position();
        settings::WriteConfFile(settings::ConfFilePath(), conf);
        accept();
    });
}

void TFormSetup::CancelBtnClick()
{
    session::RunHandler([this] {
        // Annuler first stops a search that runs; the dialog stays, as the search found it.
        if (Detector.Running()) {
            Detector.Stop();
            return;
        }
        reject();
    });
}
