#pragma once

#include "ui/monitor/framedecoder.h"
#include "ui/monitor/trafficrow.h"

#include <QAbstractTableModel>

#include <deque>

struct FrameRecord;

// The frames of the line as a table, one row each, in the order they happened. At most
// capacity rows are kept, the oldest dropped first, so memory stays flat however long
// the line runs. While paused, frames still pass through the decoder (a reply after
// the pause is read against its request) but add no rows.
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        TimeColumn,
        DirectionColumn,
        AddressColumn,
        FunctionColumn,
        ContentColumn,
        ResultColumn,
        ResponseColumn,
        BytesColumn,
        ColumnCount
    };
    enum Role { KindRole = Qt::UserRole, EchoRole };
    static constexpr int kDefaultCapacity = 5000;
    static constexpr const char *kTimeFormat = "hh:mm:ss.zzz";

    explicit TrafficModel(int capacity = kDefaultCapacity, QObject *parent = nullptr);

    void append(const FrameRecord &record);
    void clear();
    void setPaused(bool on) { paused = on; }
    int capacity() const { return limit; }
    const TrafficRow &rowAt(int row) const { return rows.at(size_t(row)); }
    // The text of a cell as the table shows it.
    static QString cellText(const TrafficRow &row, int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QString directionText(FrameRecord::Direction direction);
    static QVariant background(const TrafficRow &row);

    const int limit;
    bool paused = false;
    FrameDecoder decoder;
    std::deque<TrafficRow> rows;
};
