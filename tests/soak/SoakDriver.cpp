#include "SoakDriver.h"

#include "app/Application.h"
#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "controls/UpDown.h"
#include "editor/ToneColumn.h"
#include "instrument/VirtualInstrument.h"
#include "midi/SysExText.h"
#include "mixer/FormMFX.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "support/EditorTestSupport.h"
#include "sysex/MfxParams.h"
#include "sysex/MixerMessages.h"
#include "sysex/PatchMessages.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OMBRIX_SOAK_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OMBRIX_SOAK_SANITIZER 1
#endif
#endif

namespace {

using namespace std::chrono_literals;

// What one part request adds to the main window's log.
const QString PartAnswerWords = QStringLiteral(" Patch Common Tone1 Tone2 Tone3 Tone4");
// Quiet: nothing queued and no request running, within this long of the last action.
constexpr int QuietLimitMs = 20000;
// What a quiet check must compare at the least: the shown part's patch selection and every
// control its four tone blocks set; and while the mixer window is open, its three effect
// switches, its twelve reverb and delay settings and each part's six values.
constexpr long MainWindowControls = 1 + instrument::ToneCount * sysex::DecodeStepCount;
constexpr long MixerWindowFields = 3 + 12 + sysex::mixer::PartCount * 6;

// The page a process keeps in memory now, in bytes, after handing freed blocks back.
std::size_t ResidentBytes()
{
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::chrono::microseconds CpuTime()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval &t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

// Where the handle of a scroll bar or slider lies now, as its style draws it.
QRect HandleRect(QAbstractSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.subControls = QStyle::SC_All;
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    if (auto *track = qobject_cast<QSlider *>(slider)) {
        option.tickPosition = track->tickPosition();
        option.tickInterval = track->tickInterval();
        option.upsideDown = slider->orientation() == Qt::Horizontal ? slider->invertedAppearance()
                                                                    : !slider->invertedAppearance();
        return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                               slider);
    }
    option.upsideDown = slider->invertedAppearance();
    return slider->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                           QStyle::SC_ScrollBarSlider, slider);
}

// Asked sideways, off the instrument's cable: the checks must not hold up what the program sends.
std::vector<midi::TByteStream> Answers(instrument::TVirtualInstrument &instrument,
                                       const std::string &requestText)
{
    midi::TByteStream request;
    midi::HexTextToSysEx(requestText, request);
    return instrument.Answer(request);
}

int ListValue(const TDropDownList *list, int value)
{
    return value >= 0 && value < list->count() ? value : -1;
}

} // namespace

void TLogFollower::Follow(TReceiveLog &log)
{
    Seen = log.Text();
    QObject::connect(&log, &TReceiveLog::TextChanged, &log, [this](const QString &text) {
        if (text.startsWith(Seen))
            SinceCheck += QStringView(text).mid(Seen.size());
        else
            Rewritten = true;
        Seen = text;
    });
}

TSoakDriver::TSoakDriver(TProgramWindows &windows, instrument::TVirtualInstrument &instrument,
                         TSoakOptions options)
    : Windows(windows)
    , Instrument(instrument)
    , Options(std::move(options))
    , Random(Options.Seed)
{
    PartLog.Follow(*FindControl<TReceiveLog>(Windows.Ombrix, QStringLiteral("Edit1")));
    MixerLog.Follow(*FindControl<TReceiveLog>(Windows.FormMixer, QStringLiteral("EditBPM")));
    // Any error the program reports would be a box in front of the user: the run fails there,
    // with the text the box would show.
    session::SetErrorReporter(
        [this](const std::string &text) { Fail("error box: " + QString::fromStdString(text)); });
    // A box shown some other way would wait for a click that never comes.
    auto *watch = new QTimer(&Windows.Ombrix);
    QObject::connect(watch, &QTimer::timeout, watch, [this] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
                Fail("message box: " + box->text());
    });
    watch->start(250);
}

TSoakDriver::~TSoakDriver()
{
    session::SetErrorReporter(nullptr);
}

int TSoakDriver::Draw(int count)
{
    return static_cast<int>(Random() % static_cast<std::uint64_t>(count));
}

int TSoakDriver::Between(int low, int high)
{
    return low + Draw(high - low + 1);
}

void TSoakDriver::Note(const QString &action)
{
    ++Actions;
    Trail.push_back(QStringLiteral("%1 %2").arg(Actions).arg(action));
    if (Trail.size() > 25)
        Trail.pop_front();
}

void TSoakDriver::Fail(const QString &what)
{
    std::fflush(stdout);
    std::fprintf(stderr, "soak: FAILED after action %ld (seed %llu): %s\nsoak: the last actions:\n",
                 Actions, static_cast<unsigned long long>(Options.Seed), qPrintable(what));
    for (const QString &line : Trail)
        std::fprintf(stderr, "  %s\n", qPrintable(line));
    std::fprintf(stderr, "soak: replay with --seed %llu\n",
                 static_cast<unsigned long long>(Options.Seed));
    std::fflush(stderr);
    std::_Exit(1);
}

// ---- gestures --------------------------------------------------------------------------------

void TSoakDriver::Click(QWidget *widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

void TSoakDriver::Key(QWidget *widget, int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(widget, static_cast<Qt::Key>(key), modifiers);
}

void TSoakDriver::MoveSlider(QAbstractSlider *slider)
{
    const bool horizontal = slider->orientation() == Qt::Horizontal;
    const int length = horizontal ? slider->width() : slider->height();
    const auto along = [&](int position) {
        return horizontal ? QPoint(position, slider->height() / 2)
                          : QPoint(slider->width() / 2, position);
    };
    switch (Draw(4)) {
    case 0: { // the arrows of a scroll bar, the keys of a slider
        const bool towardsEnd = Draw(2) == 0;
        const int clicks = Between(1, 4);
        for (int i = 0; i < clicks; ++i) {
            if (qobject_cast<QScrollBar *>(slider))
                Click(slider, along(towardsEnd ? length - 3 : 2));
            else
                Key(slider, towardsEnd ? Qt::Key_Down : Qt::Key_Up);
            QTest::qWait(Between(0, 60));
        }
        break;
    }
    case 1: // a click beside the handle moves a page
        Click(slider, along(Between(length / 5, length - length / 5)));
        break;
    case 2: {
        static constexpr int Keys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                       Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        Key(slider, Keys[Draw(static_cast<int>(std::size(Keys)))]);
        break;
    }
    default: { // a drag of the handle, some steps a frame apart
        const QPoint from = HandleRect(slider).center();
        const int distance = Between(-length / 2, length / 2);
        const int steps = Between(2, 30);
        QTest::mousePress(slider, Qt::LeftButton, {}, from);
        QPoint to = from;
        for (int i = 1; i <= steps; ++i) {
            const int offset = distance * i / steps;
            to = from + (horizontal ? QPoint(offset, 0) : QPoint(0, offset));
            QTest::mouseMove(slider, to);
            QTest::qWait(Between(2, 16));
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
        break;
    }
    }
}

void TSoakDriver::StepList(TDropDownList *list)
{
    static constexpr int Keys[] = {Qt::Key_Down,     Qt::Key_Up,     Qt::Key_Down, Qt::Key_Up,
                                   Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
    Key(list, Keys[Draw(static_cast<int>(std::size(Keys)))]);
}

void TSoakDriver::TypeNumber(QWidget *box, int value, bool finishWithTab)
{
    Click(box, QPoint(box->width() / 2, box->height() / 2));
    Key(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::number(value));
    if (finishWithTab)
        Key(box, Qt::Key_Tab);
}

void TSoakDriver::ShortcutOnMain(int key, Qt::KeyboardModifiers modifiers)
{
    TOmbrix &window = Windows.Ombrix;
    if (QApplication::activeWindow() != &window) {
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window, 2000))
            Fail(QStringLiteral("the main window does not come to the front"));
    }
    Key(&window, key, modifiers);
}

void TSoakDriver::AnswerFileDialog(const QString &path, int attempt)
{
    QTimer::singleShot(attempt == 0 ? 0 : 20, &Windows.Ombrix, [this, path, attempt] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (attempt > 250)
                Fail(QStringLiteral("no file dialog came up"));
            AnswerFileDialog(path, attempt + 1);
            return;
        }
        // Pasted rather than typed, so no completion list comes in the way of the Enter key.
        auto *name = FindControl<QLineEdit>(*dialog, QStringLiteral("fileNameEdit"));
        name->setText(path);
        Key(name, Qt::Key_Return);
    });
}

void TSoakDriver::OpenMixerFromMenu()
{
    QMenuBar *bar = Windows.Ombrix.menuBar();
    auto *pattern = FindControl<QMenu>(Windows.Ombrix, QStringLiteral("Pattern"));
    auto *mixer = FindControl<QAction>(Windows.Ombrix, QStringLiteral("Mixer"));
    Click(bar, bar->actionGeometry(pattern->menuAction()).center());
    if (!QTest::qWaitFor([pattern] { return pattern->isVisible(); }, 2000))
        Fail(QStringLiteral("the Pattern menu does not open"));
    // The click on the item returns once the mixer window has closed again.
    Click(pattern, pattern->actionGeometry(mixer).center());
}

// ---- actions ---------------------------------------------------------------------------------

void TSoakDriver::PickPart()
{
    auto *group = FindControl<TRadioGroup>(Windows.Ombrix, QStringLiteral("RadioGroupSelectPart"));
    const int part = Draw(group->Count());
    Note(QStringLiteral("part %1").arg(part + 1));
    // The part already shown is not asked for again.
    if (part != group->ItemIndex())
        ++PartAnswersExpected;
    QRadioButton *item = group->Item(part);
    Click(item, QPoint(6, item->height() / 2));
}

void TSoakDriver::ClicksDuringARequest()
{
    auto *group = FindControl<TRadioGroup>(Windows.Ombrix, QStringLiteral("RadioGroupSelectPart"));
    const int first = (group->ItemIndex() + Between(1, group->Count() - 1)) % group->Count();
    const int second = Draw(group->Count());
    const int after = Between(20, 150);
    Note(QStringLiteral("part %1, then part %2 and undo %3 ms into its request")
             .arg(first + 1)
             .arg(second + 1)
             .arg(after));
    // Both are asked for, the second once the first's answers are in; undo waits for neither.
    PartAnswersExpected += second != first ? 2 : 1;
    QTimer::singleShot(after, &Windows.Ombrix, [this, group, second] {
        QRadioButton *item = group->Item(second);
        Click(item, QPoint(6, item->height() / 2));
        ShortcutOnMain(Qt::Key_Z, Qt::ControlModifier);
    });
    QRadioButton *item = group->Item(first);
    Click(item, QPoint(6, item->height() / 2));
    WaitQuiet("clicks during a request");
}

void TSoakDriver::PickPatch()
{
    const bool group = Draw(3) == 0;
    auto *list = FindControl<TDropDownList>(
        Windows.Ombrix, group ? QStringLiteral("LBPatchGroup") : QStringLiteral("LBPatch"));
    const int before = list->currentIndex();
    Note(QStringLiteral("%1 from row %2").arg(list->objectName()).arg(before));
    StepList(list);
    if (list->currentIndex() != before)
        ++PartAnswersExpected;
}

void TSoakDriver::UseToneControl(int tone, int row)
{
    using sysex::TControlKind;
    TToneColumn &column = Windows.Ombrix.Column(tone);
    const sysex::TToneControl &control = sysex::ToneTable[row];
    QWidget *widget = column.ControlOf(row);
    Note(widget->objectName());
    switch (control.Kind) {
    case TControlKind::CheckBox:
        Click(widget, QPoint(std::min(6, widget->width() / 2), widget->height() / 2));
        break;
    case TControlKind::RadioGroup: {
        auto *group = static_cast<TRadioGroup *>(widget);
        QRadioButton *item = group->Item(Draw(group->Count()));
        Click(item, QPoint(6, item->height() / 2));
        break;
    }
    case TControlKind::ScrollBar:
    case TControlKind::TrackBar:
        MoveSlider(static_cast<QAbstractSlider *>(widget));
        break;
    case TControlKind::WaveList:
    case TControlKind::FilterList:
        StepList(static_cast<TDropDownList *>(widget));
        break;
    case TControlKind::DepthEdit: {
        auto *arrows = FindControl<TUpDown>(
            Windows.Ombrix, QStringLiteral("%1Tone%2").arg(control.CompanionStem).arg(tone));
        const int clicks = Between(1, 3);
        const bool up = Draw(2) == 0;
        for (int i = 0; i < clicks; ++i)
            Click(arrows, QPoint(arrows->width() / 2, up ? 3 : arrows->height() - 3));
        break;
    }
    case TControlKind::EnvelopeImage:
        DragEnvelope(tone);
        break;
    case TControlKind::Bevel:
        break;
    }
}

void TSoakDriver::DragEnvelope(int tone)
{
    TToneColumn &column = Windows.Ombrix.Column(tone);
    TEnvelopeImage *images[] = {column.AmpImage(), column.PitchImage(), column.FilterImage()};
    TEnvelopeImage *image = images[Draw(3)];
    const int point = Between(1, 5);
    const sysex::TEnvPoint &handle = image->Envelope().Points[static_cast<std::size_t>(point)];
    Note(QStringLiteral("%1 point %2").arg(image->objectName()).arg(point));
    const QPoint from(handle.x, handle.y);
    const QPoint distance(Between(-60, 60), Between(-40, 40));
    const int steps = Between(1, 20);
    QTest::mousePress(image, Qt::LeftButton, {}, from);
    for (int i = 1; i <= steps; ++i) {
        QTest::mouseMove(image, from + distance * i / steps);
        QTest::qWait(Between(2, 16));
    }
    QTest::mouseRelease(image, Qt::LeftButton, {}, from + distance);
}

void TSoakDriver::UndoOrRedo(QWidget &window)
{
    const bool redo = Draw(3) == 0;
    const int times = Between(1, 3);
    Note(QStringLiteral("%1 x%2").arg(redo ? "redo" : "undo").arg(times));
    for (int i = 0; i < times; ++i) {
        const int key = redo ? Qt::Key_Y : Qt::Key_Z;
        if (&window == &Windows.Ombrix)
            ShortcutOnMain(key, Qt::ControlModifier);
        else
            Key(&window, key, Qt::ControlModifier);
        // An undone patch pick asks for the part again; its answers are shown before the next.
        WaitQuiet("undo");
    }
}

void TSoakDriver::SavePatchFile()
{
    // Four names in turn; the old file goes first, as a user would answer "replace".
    const QString path
        = QDir(Options.Directory).filePath(QStringLiteral("soak-%1.syx").arg(SavedFiles % 4));
    QFile::remove(path);
    Note(QStringLiteral("save %1").arg(path));
    AnswerFileDialog(path);
    ShortcutOnMain(Qt::Key_S, Qt::ControlModifier);
    if (!QFile::exists(path))
        Fail(QStringLiteral("%1 was not written").arg(path));
    ++SavedFiles;
}

void TSoakDriver::OpenPatchFile()
{
    if (SavedFiles == 0)
        return SavePatchFile();
    const QString path
        = QDir(Options.Directory)
              .filePath(QStringLiteral("soak-%1.syx").arg(Draw(std::min(SavedFiles, 4))));
    Note(QStringLiteral("open %1").arg(path));
    AnswerFileDialog(path);
    ShortcutOnMain(Qt::Key_O, Qt::ControlModifier);
    ++PartAnswersExpected;
}

void TSoakDriver::MixerSession()
{
    Note(QStringLiteral("mixer window"));
    bool ran = false;
    auto session = std::make_shared<std::function<void()>>();
    *session = [this, &ran, weak = std::weak_ptr(session)] {
        // The opening's requests are still being answered: the user waits for them too.
        if (session::TRequestProcedure::Instance().Running() || !Windows.FormMixer.isVisible()) {
            if (auto again = weak.lock())
                QTimer::singleShot(20, &Windows.FormMixer, *again);
            return;
        }
        ran = true;
        InMixer = true;
        ++MixerOpenings;
        QuietPause();
        const int actions = Between(2, 14);
        for (int i = 0; i < actions; ++i)
            MixerAction();
        QuietPause();
        InMixer = false;
        if (Draw(5) == 0) {
            // Enter in a box applies the number typed and closes the window.
            const auto group = sysex::mixer::SendGroups[static_cast<std::size_t>(Draw(4))];
            auto *box = FindControl<TEditBox>(
                Windows.FormMixer,
                QStringLiteral("Edit%1%2")
                    .arg(QLatin1String(sysex::mixer::Field(sysex::mixer::SendGroupInfo(group).Field)
                                           .ObjectName)
                             .mid(3))
                    .arg(Between(1, 8)));
            Note(QStringLiteral("%1 typed, Enter").arg(box->objectName()));
            TypeNumber(box, Between(0, 127), false);
            Key(box, Qt::Key_Return);
        } else {
            Note(QStringLiteral("OKBtn"));
            auto *ok = FindControl<QPushButton>(Windows.FormMixer, QStringLiteral("OKBtn"));
            Click(ok, ok->rect().center());
        }
    };
    QTimer::singleShot(0, &Windows.FormMixer, *session);
    OpenMixerFromMenu();
    session.reset();
    if (!ran)
        Fail(QStringLiteral("the mixer window did not open"));
    if (Windows.FormMixer.isVisible())
        Fail(QStringLiteral("the mixer window stayed open"));
    WaitQuiet("the mixer window");
}

void TSoakDriver::MixerAction()
{
    TFormMixer &form = Windows.FormMixer;
    const auto named = [&form](const QString &name) { return FindControl<QWidget>(form, name); };
    const int suffix = Between(1, 8);
    const auto group = sysex::mixer::SendGroups[static_cast<std::size_t>(Draw(4))];
    const sysex::mixer::TSendGroupInfo &info = sysex::mixer::SendGroupInfo(group);
    // A group's bars are Bar<name>k, its boxes Edit<name>k.
    const QString groupName = QLatin1String(sysex::mixer::Field(info.Field).ObjectName).mid(3);
    switch (Draw(11)) {
    case 0:
    case 1: {
        auto *bar
            = FindControl<QScrollBar>(form, QStringLiteral("Bar%1%2").arg(groupName).arg(suffix));
        Note(bar->objectName());
        MoveSlider(bar);
        break;
    }
    case 2: {
        // A number a little outside the range now and then: the window brings it in.
        auto *box = named(QStringLiteral("Edit%1%2").arg(groupName).arg(suffix));
        const int value = Between(info.Minimum - 5, info.Maximum + 5);
        const bool thenBar = Draw(3) == 0;
        Note(QStringLiteral("%1 typed %2%3")
                 .arg(box->objectName())
                 .arg(value)
                 .arg(thenBar ? ", then a bar of its group" : ""));
        TypeNumber(box, value, !thenBar);
        if (thenBar)
            MoveSlider(FindControl<QScrollBar>(
                form, QStringLiteral("Bar%1%2").arg(groupName).arg(Between(1, 8))));
        break;
    }
    case 3: {
        auto *bar = FindControl<QScrollBar>(form, QStringLiteral("BarTrans%1").arg(suffix));
        Note(bar->objectName());
        MoveSlider(bar);
        break;
    }
    case 4: {
        static const char *const Lists[]
            = {"LBReverbType", "LBReverbHF", "LBDelayType", "LBDelayHF", "LBDelayOutput"};
        auto *list = FindControl<TDropDownList>(form, QString::fromLatin1(Lists[Draw(5)]));
        Note(list->objectName());
        StepList(list);
        break;
    }
    case 5: {
        static const char *const Bars[] = {"BarReverbLevel", "BarReverbTime", "BarReverbToMFX",
                                           "BarDelayLevel",  "BarDelayTime",  "BarDelayToMFX"};
        auto *bar = FindControl<QScrollBar>(form, QString::fromLatin1(Bars[Draw(6)]));
        Note(bar->objectName());
        MoveSlider(bar);
        break;
    }
    case 6:
        if (Draw(2) == 0) {
            Note(QStringLiteral("EditDelayFeedback typed"));
            TypeNumber(named(QStringLiteral("EditDelayFeedback")), Between(0, 105), true);
        } else {
            auto *arrows = FindControl<TUpDown>(form, QStringLiteral("UpDownDelayFeedback"));
            Note(arrows->objectName());
            Click(arrows, QPoint(arrows->width() / 2, Draw(2) == 0 ? 3 : arrows->height() - 3));
        }
        break;
    case 7: {
        static const char *const Switches[] = {"CBReverbSwitch", "CBDelaySwitch", "CBMFXSwitch"};
        const QString name = Draw(2) == 0 ? QString::fromLatin1(Switches[Draw(3)])
                                          : QStringLiteral("CBMFXSwitch%1").arg(suffix);
        auto *box = FindControl<QCheckBox>(form, name);
        Note(name);
        Click(box, QPoint(6, box->height() / 2));
        break;
    }
    case 8:
        UndoOrRedo(form);
        break;
    case 9:
        MfxAction();
        break;
    default:
        QuietPause();
        break;
    }
}

void TSoakDriver::MfxAction()
{
    TFormMFX &mfx = Windows.FormMixer.Mfx();
    if (!mfx.isVisible()) {
        auto *setup = FindControl<QPushButton>(Windows.FormMixer, QStringLiteral("MFXSetupBtn"));
        Note(setup->objectName());
        Click(setup, setup->rect().center());
        WaitQuiet("the MFX window's opening");
        if (!mfx.isVisible())
            Fail(QStringLiteral("the MFX window did not open"));
    }
    if (Draw(4) == 0) {
        auto *types = FindControl<TDropDownList>(mfx, QStringLiteral("LBMFXType"));
        Note(types->objectName());
        StepList(types);
        return;
    }
    if (!mfx.ValuesKnown())
        return;
    const int used = static_cast<int>(
        sysex::mfx::Types[static_cast<std::size_t>(std::clamp(mfx.Values()[0], 0, 24))]
            .Params.size());
    const int v = Between(1, used);
    if (auto *list = FindControl<TDropDownList>(mfx, QStringLiteral("LBMFXParam%1").arg(v));
        list->isVisible()) {
        Note(list->objectName());
        StepList(list);
    } else {
        auto *bar = FindControl<QSlider>(mfx, QStringLiteral("BarMFXParam%1").arg(v));
        Note(bar->objectName());
        MoveSlider(bar);
    }
}

void TSoakDriver::QuietPause()
{
    WaitQuiet("a pause");
    QTest::qWait(Between(20, 400));
    CheckQuiet();
}

// ---- checks ----------------------------------------------------------------------------------

void TSoakDriver::WaitQuiet(const char *after)
{
    midi::IMidiOut &output = Windows.Outputs.Device(Windows.Ombrix.Devices().MidiOutIndex);
    const bool quiet = QTest::qWaitFor(
        [&output] {
            return !session::TRequestProcedure::Instance().Running() && output.Waiting() == 0;
        },
        QuietLimitMs);
    if (!quiet)
        Fail(QStringLiteral("%1 messages still queued %2 s after %3")
                 .arg(output.Waiting())
                 .arg(QuietLimitMs / 1000)
                 .arg(QLatin1String(after)));
}

// Without strict timing a run without drops would prove nothing: two ordinary data sets handed
// to the instrument 5 ms apart must cost it one drop, which the checks then discount. Both write
// back the byte the instrument holds, so the windows still show its memory; the program is quiet
// meanwhile, and a pair that a busy machine pulled further apart is sent again.
void TSoakDriver::CheckStrictTiming()
{
    using namespace std::chrono;
    const instrument::TAddress level {0x02, 0x00, 0x12, 0x65}; // part 1, tone 2's level
    midi::TByteStream dataSet;
    midi::HexTextToSysEx(sysex::DataSetHeader(Windows.Ombrix.Devices().DeviceId) + "02 00 12 65 "
                             + midi::HexByte(Instrument.ReadByte(level)),
                         dataSet);
    // Longer than the gap after the longest data set's bytes on the cable, before and after.
    const auto settle = 100ms;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::this_thread::sleep_for(settle);
        const std::uint64_t before = Instrument.StrictDrops();
        const auto first = steady_clock::now();
        Instrument.Receive(dataSet);
        std::this_thread::sleep_until(first + 5ms);
        const auto second = steady_clock::now();
        Instrument.Receive(dataSet);
        OwnRequests += 2;
        const std::uint64_t drops = Instrument.StrictDrops() - before;
        DeliberateDrops += drops;
        if (second - first > 10ms)
            continue;
        std::this_thread::sleep_for(settle);
        if (drops != 1)
            Fail(QStringLiteral("strict timing is off: two data sets 5 ms apart cost the "
                                "instrument %1 drops, not 1")
                     .arg(drops));
        std::printf("soak: strict timing on: two data sets 5 ms apart cost one drop\n");
        return;
    }
    Fail(QStringLiteral("no two data sets could be handed to the instrument 5 ms apart"));
}

void TSoakDriver::CheckQuiet()
{
    ++Checks;
    if (const std::uint64_t drops = Instrument.StrictDrops() - DeliberateDrops; drops != 0)
        Fail(QStringLiteral("the instrument dropped %1 data sets").arg(drops));
    const long comparedBefore = Compared;
    CheckMainWindow();
    long expected = MainWindowControls;
    if (InMixer) {
        CheckMixerWindow();
        expected += MixerWindowFields;
    }
    if (Windows.FormMixer.Mfx().isVisible() && Windows.FormMixer.Mfx().ValuesKnown())
        CheckMfxWindow();
    if (const std::uint64_t faults = Instrument.MfxRangeFaults(); faults != 0)
        Fail(QStringLiteral("the instrument took %1 MFX values out of their range").arg(faults));
    if (Compared - comparedBefore < expected)
        Fail(QStringLiteral("a quiet check compared %1 controls with the instrument, not the %2 "
                            "the windows set from it")
                 .arg(Compared - comparedBefore)
                 .arg(expected));
    CheckLog(PartLog, PartAnswerWords, PartAnswersExpected, "Edit1");
    PartAnswersExpected = 0;
    if (!MixerOpeningWords.isEmpty() || MixerOpenings > MixerOpeningsChecked) {
        if (MixerOpeningWords.isEmpty())
            MixerOpeningWords = MixerLog.SinceCheck;
        CheckLog(MixerLog, MixerOpeningWords, MixerOpenings - MixerOpeningsChecked, "EditBPM");
        MixerOpeningsChecked = MixerOpenings;
    }
    if (BaselineResident == 0 && std::chrono::steady_clock::now() - Start >= BaselineAt) {
        BaselineResident = ResidentBytes();
        BaselineAt = std::chrono::steady_clock::now() - Start;
    }
    if (LateResident == 0 && std::chrono::steady_clock::now() - Start >= LateAt) {
        LateResident = ResidentBytes();
        LateAt = std::chrono::steady_clock::now() - Start;
    }
}

void TSoakDriver::CheckLog(TLogFollower &log, const QString &unit, long atLeast, const char *name)
{
    if (log.Rewritten)
        Fail(QStringLiteral("%1 lost words it had shown").arg(QLatin1String(name)));
    const QString &added = log.SinceCheck;
    long units = 0;
    for (qsizetype at = 0; at < added.size(); at += unit.size(), ++units)
        if (unit.isEmpty() || QStringView(added).mid(at, unit.size()) != unit)
            Fail(QStringLiteral("%1 gained \"%2\", not whole answers \"%3\"")
                     .arg(QLatin1String(name), added, unit));
    if (units < atLeast)
        Fail(QStringLiteral("%1 gained %2 answers, %3 expected")
                 .arg(QLatin1String(name))
                 .arg(units)
                 .arg(atLeast));
    log.SinceCheck.clear();
}

// The instrument is asked what the shown part holds, with the window's own requests, and the
// answers are decoded as the window decodes them: every control they set must show that value.
void TSoakDriver::CheckMainWindow()
{
    TOmbrix &window = Windows.Ombrix;
    const int part
        = FindControl<TRadioGroup>(window, QStringLiteral("RadioGroupSelectPart"))->ItemIndex();
    if (part < 0)
        Fail(QStringLiteral("no part is selected"));
    auto *groups = FindControl<TDropDownList>(window, QStringLiteral("LBPatchGroup"));
    auto *patches = FindControl<TDropDownList>(window, QStringLiteral("LBPatch"));
    for (const sysex::patch::TRequest &request :
         sysex::patch::PartRequests(window.Session().DataRequestHeader(), part)) {
        for (const midi::TByteStream &answer : Answers(Instrument, request.Text)) {
            const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(answer);
            if (decoded.Block == sysex::patch::TBlock::PatternPart && decoded.Selection) {
                ++Compared;
                if (groups->ItemIndex() != decoded.Selection->Group
                    || (decoded.Selection->Group >= 0
                        && patches->ItemIndex() != decoded.Selection->Patch))
                    Fail(QStringLiteral("part %1 plays group %2 patch %3, the window shows %4 "
                                        "and %5")
                             .arg(part + 1)
                             .arg(decoded.Selection->Group)
                             .arg(decoded.Selection->Patch)
                             .arg(groups->ItemIndex())
                             .arg(patches->ItemIndex()));
            }
            if (decoded.Block != sysex::patch::TBlock::Tone)
                continue;
            TToneColumn &column = window.Column(decoded.Tone);
            for (const sysex::patch::TToneValue &value : decoded.Values) {
                const sysex::TToneControl &control = sysex::ToneTable[value.Row];
                QWidget *widget = column.ControlOf(value.Row);
                ++Compared;
                if (control.Kind == sysex::TControlKind::EnvelopeImage) {
                    const sysex::TEnveloppe &shown
                        = static_cast<TEnvelopeImage *>(widget)->Envelope();
                    for (std::size_t i = 0; i < 4; ++i)
                        if (shown.Times[i] != value.Times[i]
                            || (static_cast<int>(i) < control.Envelope->LevelCount
                                && shown.Levels[i] != value.Levels[i]))
                            Fail(QStringLiteral("%1 shows T%2 %3 L%2 %4, the instrument holds "
                                                "%5 and %6")
                                     .arg(widget->objectName())
                                     .arg(i + 1)
                                     .arg(shown.Times[i])
                                     .arg(shown.Levels[i])
                                     .arg(value.Times[i])
                                     .arg(value.Levels[i]));
                } else if (column.ValueOf(value.Row) != value.Value) {
                    Fail(QStringLiteral("%1 shows %2, the instrument holds %3")
                             .arg(widget->objectName())
                             .arg(column.ValueOf(value.Row))
                             .arg(value.Value));
                }
            }
        }
    }
}

// The MFX window's type and the parameters it shows against the instrument's thirteen bytes,
// read with the window's own request; a byte out of range is shown as its nearest value.
void TSoakDriver::CheckMfxWindow()
{
    TFormMFX &mfx = Windows.FormMixer.Mfx();
    ++MfxChecks;
    sysex::mfx::TValues held {};
    for (const midi::TByteStream &answer :
         Answers(Instrument,
                 sysex::pattern::MfxRequest(Windows.Ombrix.Session().DataRequestHeader()).Text)) {
        const sysex::pattern::TDecoded decoded = sysex::pattern::DecodeMessage(answer);
        for (std::size_t v = 0; v < held.size(); ++v)
            if (decoded.Mfx[v])
                held[v] = *decoded.Mfx[v];
    }
    QStringList wrong;
    const auto compare = [this, &wrong](const QString &name, int shown, int expected) {
        ++Compared;
        if (shown != expected)
            wrong << QStringLiteral("%1 shows %2, the instrument holds %3")
                         .arg(name)
                         .arg(shown)
                         .arg(expected);
    };
    compare(QStringLiteral("LBMFXType"),
            FindControl<TDropDownList>(mfx, QStringLiteral("LBMFXType"))->ItemIndex(), held[0]);
    for (int v = 1; v <= sysex::mfx::ParamCount; ++v) {
        const sysex::mfx::TMfxParam *param = sysex::mfx::ParamOf(held[0], v);
        if (!param)
            continue;
        const int nearest = sysex::mfx::CheckValue(*param, held[std::size_t(v)]).Nearest;
        if (sysex::mfx::ShownAsList(*param))
            compare(
                QStringLiteral("LBMFXParam%1").arg(v),
                FindControl<TDropDownList>(mfx, QStringLiteral("LBMFXParam%1").arg(v))->ItemIndex(),
                nearest);
        else
            compare(QStringLiteral("BarMFXParam%1").arg(v),
                    FindControl<QSlider>(mfx, QStringLiteral("BarMFXParam%1").arg(v))->value(),
                    nearest);
    }
    if (!wrong.isEmpty())
        Fail(QStringLiteral("MFX: ") + wrong.join(QStringLiteral("; ")));
}

// The same for the mixer window, with its opening's requests and its decoder.
void TSoakDriver::CheckMixerWindow()
{
    TFormMixer &form = Windows.FormMixer;
    QStringList wrong;
    const auto compare = [this, &wrong](const QString &name, int shown, int held) {
        ++Compared;
        if (shown != held)
            wrong << QStringLiteral("%1 shows %2, the instrument holds %3")
                         .arg(name)
                         .arg(shown)
                         .arg(held);
    };
    // Each field of the table against its control, which shows it as the control's value.
    const auto field = [&](sysex::mixer::TFieldId id, int held, const QString &suffix) {
        const QString name = QLatin1String(sysex::mixer::Field(id).ObjectName) + suffix;
        QWidget *control = FindControl<QWidget>(form, name);
        if (auto *bar = qobject_cast<QScrollBar *>(control))
            compare(name, bar->value(), std::clamp(held, bar->minimum(), bar->maximum()));
        else if (auto *list = qobject_cast<TDropDownList *>(control))
            compare(name, list->ItemIndex(), ListValue(list, held));
        else if (auto *box = qobject_cast<QCheckBox *>(control))
            compare(name, box->isChecked() ? 1 : 0, held != 0 ? 1 : 0);
        else {
            // A number box shows what its arrows hold.
            auto *arrows = FindControl<TUpDown>(form, QStringLiteral("UpDown") + name.mid(4));
            compare(arrows->objectName(), arrows->Position(),
                    std::clamp(held, arrows->Min(), arrows->Max()));
        }
    };
    const auto fields = [&](const sysex::mixer::TValues &values, sysex::mixer::TBlock block,
                            const QString &suffix) {
        for (std::size_t i = 0; i < sysex::mixer::FieldCount; ++i)
            if (sysex::mixer::Fields[i].Block == block)
                field(static_cast<sysex::mixer::TFieldId>(i), values[i], suffix);
    };
    for (const sysex::mixer::TRequest &request :
         sysex::mixer::OpeningRequests(Windows.Ombrix.Session().DataRequestHeader())) {
        for (const midi::TByteStream &answer : Answers(Instrument, request.Text)) {
            const sysex::mixer::TDecodedMessage decoded = sysex::mixer::DecodeMessage(answer);
            if (decoded.Switches)
                fields(*decoded.Switches, sysex::mixer::TBlock::System, {});
            if (decoded.Common)
                fields(*decoded.Common, sysex::mixer::TBlock::PatternCommon, {});
            if (const auto &p = decoded.PartBlock)
                fields(p->Values, sysex::mixer::TBlock::PatternPart, QString::number(p->Part + 1));
        }
    }
    if (!wrong.isEmpty())
        Fail(wrong.join(QStringLiteral("; ")));
}

// ---- the session -----------------------------------------------------------------------------

int TSoakDriver::Run()
{
    Start = std::chrono::steady_clock::now();
    // For a short run the comparison starts halfway.
    BaselineAt = std::min<std::chrono::steady_clock::duration>(60s, Options.Duration / 2);
    // An hour's run is judged on its last half hour; a shorter one on its second half.
    LateAt = Options.Duration >= 60min ? Options.Duration - 30min : Options.Duration / 2;
    const std::chrono::microseconds cpuAtStart = CpuTime();
    std::printf("soak: seed %llu, %lld s\n", static_cast<unsigned long long>(Options.Seed),
                static_cast<long long>(Options.Duration.count()));
    std::fflush(stdout);

    TOmbrix &window = Windows.Ombrix;
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window, 2000))
        Fail(QStringLiteral("the main window does not come to the front"));
    // Part 1 was asked for and shown as the window was made.
    WaitQuiet("the start");
    CheckStrictTiming();
    CheckQuiet();

    struct TKind
    {
        const char *Name;
        int Weight;
    };
    static constexpr TKind Kinds[] = {
        {"part", 8},     {"patch", 6}, {"tone control", 30},
        {"envelope", 8}, {"mixer", 5}, {"undo/redo", 10},
        {"save", 2},     {"open", 2},  {"clicks during a request", 3},
        {"pause", 10},
    };
    int total = 0;
    for (const TKind &kind : Kinds)
        total += kind.Weight;

    long sincePause = 0;
    while (std::chrono::steady_clock::now() - Start < Options.Duration
           && (Options.MaxActions < 0 || Actions < Options.MaxActions)) {
        int pick = Draw(total);
        std::size_t kind = 0;
        while (pick >= Kinds[kind].Weight)
            pick -= Kinds[kind++].Weight;
        ++ActionCounts[Kinds[kind].Name];
        switch (kind) {
        case 0:
            PickPart();
            break;
        case 1:
            PickPatch();
            break;
        case 2: {
            const int tone = Between(1, 4);
            int row = 0;
            do
                row = Draw(sysex::ToneControlCount);
            while (!sysex::HasParam(sysex::ToneTable[row]));
            UseToneControl(tone, row);
            break;
        }
        case 3:
            DragEnvelope(Between(1, 4));
            break;
        case 4:
            MixerSession();
            break;
        case 5:
            UndoOrRedo(window);
            break;
        case 6:
            SavePatchFile();
            break;
        case 7:
            OpenPatchFile();
            break;
        case 8:
            ClicksDuringARequest();
            break;
        default:
            Note(QStringLiteral("pause"));
            QuietPause();
            sincePause = 0;
            continue;
        }
        // A user pauses now and then on their own; the checks need it too.
        if (++sincePause >= 8) {
            QuietPause();
            sincePause = 0;
        } else {
            QTest::qWait(Between(0, 80));
        }
    }
    QuietPause();
    const auto wall = std::chrono::steady_clock::now() - Start;
    const std::chrono::microseconds cpu = CpuTime() - cpuAtStart;
    PrintFigures(wall);
    std::printf("soak: CPU time %.1f %% of wall time\n",
                100.0 * static_cast<double>(cpu.count())
                    / static_cast<double>(
                        std::chrono::duration_cast<std::chrono::microseconds>(wall).count()));

    const std::size_t resident = ResidentBytes();
    const auto change = [resident](std::size_t from) {
        return from == 0 ? 0.0
                         : (static_cast<double>(resident) - static_cast<double>(from))
                / static_cast<double>(from);
    };
    const auto seconds = [](std::chrono::steady_clock::duration at) {
        return static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(at).count());
    };
    const double growth = change(BaselineResident);
    const double lateGrowth = change(LateResident);
    std::printf("soak: resident memory %.1f MiB after %lld s, %.1f MiB at the end (%+.2f %%)\n",
                static_cast<double>(BaselineResident) / 1048576.0, seconds(BaselineAt),
                static_cast<double>(resident) / 1048576.0, 100.0 * growth);
    std::printf("soak: resident memory %.1f MiB after %lld s, %.1f MiB at the end (%+.2f %%): "
                "the growth of the last %lld s\n",
                static_cast<double>(LateResident) / 1048576.0, seconds(LateAt),
                static_cast<double>(resident) / 1048576.0, 100.0 * lateGrowth,
                seconds(wall - LateAt));
#ifdef OMBRIX_SOAK_SANITIZER
    // The sanitizers hold freed memory back on purpose: their figure says nothing of ours.
    std::printf("soak: memory growth not judged under a sanitizer\n");
#else
    constexpr double MemoryGrowthLimit = 0.05;
    if (std::abs(growth) >= MemoryGrowthLimit)
        Fail(QStringLiteral("resident memory changed by %1 %").arg(100.0 * growth, 0, 'f', 2));
    // Shorter runs have not filled the bounded stores by their second half, so their late growth
    // says too little to be judged; from 40 minutes on the histories are full well before it.
    constexpr double LateGrowthLimit = 0.01;
    if (Options.Duration >= 40min && lateGrowth >= LateGrowthLimit)
        Fail(QStringLiteral("resident memory grew by %1 % in the last %2 s")
                 .arg(100.0 * lateGrowth, 0, 'f', 2)
                 .arg(seconds(wall - LateAt)));
#endif
    std::printf("soak: passed\n");
    std::fflush(stdout);
    return 0;
}

void TSoakDriver::PrintFigures(std::chrono::steady_clock::duration wall)
{
    const double minutes = std::chrono::duration<double>(wall).count() / 60.0;
    std::printf("soak: %ld actions in %.1f min (%.0f a minute), %ld quiet checks of %ld "
                "controls in all\n",
                Actions, minutes, static_cast<double>(Actions) / minutes, Checks, Compared);
    QStringList kinds;
    for (const auto &[name, count] : ActionCounts)
        kinds << QStringLiteral("%1 %2").arg(QString::fromStdString(name)).arg(count);
    if (!kinds.isEmpty())
        std::printf("soak: %s\n", qPrintable(kinds.join(QStringLiteral(", "))));
    std::printf("soak: %llu messages reached the instrument, %llu data sets dropped\n",
                static_cast<unsigned long long>(Instrument.ReceivedCount() - OwnRequests),
                static_cast<unsigned long long>(Instrument.StrictDrops() - DeliberateDrops));
    std::printf("soak: %llu MFX values out of range reached the instrument, %ld MFX checks\n",
                static_cast<unsigned long long>(Instrument.MfxRangeFaults()), MfxChecks);
}
