#pragma once

// A window's receive log: a word is appended for every block its decoder recognises, and the
// log is never cleared. It keeps the whole text, but an append only adds the word: the line is
// drawn when it is painted, and then only the newest words that fit. Laying out a session's
// whole log on every append would make each decoded block cost more than the one before.

#include <QWidget>

class TReceiveLog : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ Text WRITE SetText NOTIFY TextChanged)
public:
    explicit TReceiveLog(const QString &start, QWidget *parent = nullptr);

    // The whole log, from the start text on.
    const QString &Text() const { return Whole; }
    // The start text; the program only appends after it.
    void SetText(const QString &text);
    void Append(QLatin1StringView word);

    // The end of the log that the line shows: never more characters than fit its width in the
    // font's narrowest character, so its cost does not depend on the log's length.
    QString Tail() const;

signals:
    void TextChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void MeasureNarrowest();

    QString Whole;
    int Narrowest = 1; // advance of the font's narrowest printable character
};
