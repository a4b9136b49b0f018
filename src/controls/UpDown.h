#pragma once

// Up-down arrows beside an edit box. A click steps the position by one within the range (no
// wrap-around) and writes it into the associated box, whose own change handler then runs.
// Holding an arrow repeats the step only while the left button is really down: a step whose
// handler fails (and shows an error box, which takes the button's release) ends the repeat.

#include <QTimer>
#include <QWidget>

#include <functional>

class QLineEdit;

class TUpDown : public QWidget
{
    Q_OBJECT
public:
    TUpDown(int min, int max, int position, QWidget *parent = nullptr);

    void SetAssociate(QLineEdit *edit) { Associate = edit; }
    // How the associated box's text reads as a number; the shared text-to-integer rule unless
    // given.
    void SetTextReader(std::function<int(const QString &)> reader) { ReadText = std::move(reader); }
    int Min() const { return Minimum; }
    int Max() const { return Maximum; }
    int Position() const { return Pos; }
    // Clamped to the range; the associated box is not touched.
    void SetPosition(int position);
    // One click on an arrow: +1 up, -1 down.
    void Step(int delta);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // One step of the held arrow; false when its handler failed.
    bool StepHeld();
    void RepeatStep();
    void StopRepeat();

    int Minimum;
    int Maximum;
    int Pos;
    QLineEdit *Associate = nullptr;
    std::function<int(const QString &)> ReadText;
    int HeldDelta = 0;
    bool Stepping = false;
    QTimer Repeat;
};
