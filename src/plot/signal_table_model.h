#pragma once

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace plot {

class PlotData;
struct PlotFrame;

// The legend of the plot: one row per signal with its colour, unit, the
// scale its axis shows and its value at the cursor.
class SignalTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, UnitColumn, ScaleColumn, CursorColumn, ColumnCount };

    explicit SignalTableModel(const PlotData& data, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The signals were added or removed.
    void reset();
    // New scales (from the frame last drawn) and cursor time.
    void refresh(const PlotFrame& frame, std::optional<double> cursorTime);
    int idAt(int row) const;

private:
    const PlotData& data_;
    std::vector<QString> scales_;
    std::optional<double> cursorTime_;
};

} // namespace plot
