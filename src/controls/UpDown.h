#pragma once

// Up-down arrows beside an edit box. A click steps the position by one within the range (no
// wrap-around) and writes it into the associated box, whose own change handler then runs.

#include <QTimer>
#include <QWidget>

class QLineEdit;

class TUpDown : public QWidget
{
    Q_OBJECT
public:
    TUpDown(int min, int max, int position, QWidget *parent = nullptr);

    void SetAssociate(QLineEdit *edit) { Associate = edit; }
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

private:
    int Minimum;
    int Maximum;
    int Pos;
    QLineEdit *Associate = nullptr;
    int HeldDelta = 0;
    QTimer Repeat;
};
