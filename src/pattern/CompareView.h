#pragma once

// The addresses whose bytes differ between two versions of a pattern (two backups, two patch
// files, or what a restore sent and what it read back), each with its parameter's name and both
// values as the windows show them: the compare view's table and its model.

#include "sysex/PatternAreas.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <optional>
#include <vector>

class QLabel;
class QTableView;

namespace pattern {

class TDifferenceModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn { Address, Area, Parameter, First, Second, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    // An MFX parameter is named after each image's own MFX type.
    void SetImages(const sysex::areas::TImage &first, const sysex::areas::TImage &second,
                   const QString &firstName, const QString &secondName);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct TRow
    {
        QString Address;
        QString Area;
        QString Parameter;
        QString First;
        QString Second;
    };
    std::vector<TRow> Rows;
    QString FirstName;
    QString SecondName;
};

class TCompareView : public QDialog
{
    Q_OBJECT
public:
    explicit TCompareView(QWidget &parent);
    void Show(const sysex::areas::TImage &first, const sysex::areas::TImage &second,
              const QString &firstName, const QString &secondName);
    const TDifferenceModel &Model() const { return Differences; }

private:
    TDifferenceModel Differences;
    QLabel *Summary = nullptr;
    QTableView *Table = nullptr;
};

} // namespace pattern
