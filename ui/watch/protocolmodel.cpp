#include "ui/watch/protocolmodel.h"

#include "device/protocolevent.h"
#include "device/protocollist.h"

#include <QBrush>
#include <QColor>

namespace {
// Work log entries are tinted yellow, crash entries red.
const QColor kWorkLogColour(255, 204, 0);
const QColor kCrashLogColour(255, 51, 0);
} // namespace

ProtocolModel::ProtocolModel(const ProtocolList *entries, QObject *parent)
    : QAbstractItemModel(parent), entries(entries)
{
}

QModelIndex ProtocolModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount || parent.column() > 0 || row >= rowCount(parent))
        return QModelIndex();
    return createIndex(row, column, const_cast<ProtocolEvent *>(&entries->at(row)));
}

QModelIndex ProtocolModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int ProtocolModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : entries->size();
}

int ProtocolModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool ProtocolModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant ProtocolModel::data(const QModelIndex &index, int role) const
{
    const ProtocolEvent *entry = entryAt(index);
    if (!entry)
        return QVariant();
    if (role == Qt::DisplayRole)
        return display(*entry, index.column());
    if (role == Qt::BackgroundRole)
        return background(*entry);
    return QVariant();
}

QVariant ProtocolModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == TimeColumn)
        return tr("Время");
    if (section == TextColumn)
        return tr("Событие");
    return QVariant();
}

Qt::ItemFlags ProtocolModel::flags(const QModelIndex &) const
{
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void ProtocolModel::refresh()
{
    beginResetModel();
    endResetModel();
}

const ProtocolEvent *ProtocolModel::entryAt(const QModelIndex &index)
{
    return index.isValid() ? static_cast<const ProtocolEvent *>(index.internalPointer()) : nullptr;
}

QVariant ProtocolModel::display(const ProtocolEvent &entry, int column) const
{
    if (column == TimeColumn)
        return entry.time().toString(QLatin1String(kTimeFormat));
    if (column == TextColumn)
        return entry.text();
    return QVariant();
}

QVariant ProtocolModel::background(const ProtocolEvent &entry)
{
    if (entry.kind() == ProtocolEvent::WorkLog)
        return QBrush(kWorkLogColour);
    if (entry.kind() == ProtocolEvent::CrashLog)
        return QBrush(kCrashLogColour);
    return QVariant();
}
