#include "devicemodel.h"

#include "deviceinfo.h"

DeviceModel::DeviceModel(QList<DeviceInfo *> *devices, QObject *parent)
    : QAbstractListModel(parent), list(devices)
{
}

int DeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : list->size();
}

QVariant DeviceModel::data(const QModelIndex &index, int role) const
{
    const DeviceInfo *info = device(index);
    if (!info || role != Qt::DisplayRole || index.column() != 0)
        return QVariant();
    return info->displayText();
}

QVariant DeviceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return tr("Устройство");
    return QVariant();
}

Qt::ItemFlags DeviceModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

DeviceInfo *DeviceModel::device(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= list->size())
        return nullptr;
    return list->at(index.row());
}

void DeviceModel::append(DeviceInfo *device)
{
    beginInsertRows(QModelIndex(), list->size(), list->size());
    list->append(device);
    endInsertRows();
}

void DeviceModel::clear()
{
    beginResetModel();
    qDeleteAll(*list);
    list->clear();
    endResetModel();
}
