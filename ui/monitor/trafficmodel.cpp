#include "ui/monitor/trafficmodel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

namespace {
// Failed transactions are tinted red, exceptions and dropped bytes yellow.
const QColor kFailureColour(255, 190, 180);
const QColor kWarningColour(255, 235, 160);
constexpr double kRowUsPerMs = 1000.0;
} // namespace

TrafficModel::TrafficModel(int capacity, QObject *parent)
    : QAbstractTableModel(parent), limit(qMax(1, capacity))
{
}

void TrafficModel::append(const FrameRecord &record)
{
    TrafficRow row = decoder.decode(record);
    if (paused)
        return;
    if (int(rows.size()) >= limit) {
        beginRemoveRows(QModelIndex(), 0, 0);
        rows.pop_front();
        endRemoveRows();
    }
    const int at = int(rows.size());
    beginInsertRows(QModelIndex(), at, at);
    rows.push_back(std::move(row));
    endInsertRows();
}

void TrafficModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const TrafficRow &row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole: return cellText(row, index.column());
    case Qt::ToolTipRole: // the whole text of a cell cut at its width
        return index.column() >= ContentColumn ? cellText(row, index.column()) : QVariant();
    case Qt::BackgroundRole: return background(row);
    case KindRole: return int(row.kind);
    case EchoRole: return row.echoSkipped;
    default: return QVariant();
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case TimeColumn: return tr("Время");
    case DirectionColumn: return tr("Направление");
    case AddressColumn: return tr("Адрес");
    case FunctionColumn: return tr("Функция");
    case ContentColumn: return tr("Регистры и значения");
    case ResultColumn: return tr("Результат");
    case ResponseColumn: return tr("Ответ, мс");
    case BytesColumn: return tr("Байты (hex)");
    default: return QVariant();
    }
}

QString TrafficModel::cellText(const TrafficRow &row, int column)
{
    switch (column) {
    case TimeColumn: return QDateTime::fromMSecsSinceEpoch(row.timeMs).toString(QLatin1String(kTimeFormat));
    case DirectionColumn: return directionText(row.direction);
    case AddressColumn: return row.address < 0 ? QString() : QString::number(row.address);
    case FunctionColumn: return row.function < 0 ? QString() : QString::number(row.function);
    case ContentColumn: return row.content;
    case ResultColumn: return row.result;
    case ResponseColumn: return row.responseUs < 0 ? QString() : QString::number(row.responseUs / kRowUsPerMs, 'f', 1);
    case BytesColumn: return row.hex;
    default: return QString();
    }
}

QString TrafficModel::directionText(FrameRecord::Direction direction)
{
    switch (direction) {
    case FrameRecord::Sent: return tr("Запрос");
    case FrameRecord::Received: return tr("Ответ");
    case FrameRecord::Discarded: return tr("Отброшено");
    }
    return QString();
}

QVariant TrafficModel::background(const TrafficRow &row)
{
    if (row.kind == TrafficRow::Exception || row.kind == TrafficRow::Discarded)
        return QBrush(kWarningColour);
    if (row.isFailure())
        return QBrush(kFailureColour);
    return QVariant();
}
