#include "ui/search/devicemodel.h"

DeviceModel::DeviceModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int DeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : list.size();
}

QVariant DeviceModel::data(const QModelIndex &index, int role) const
{
    const DeviceInfo *info = device(index);
    if (!info || index.column() != 0)
        return QVariant();
    if (role == Qt::DisplayRole)
        return info->displayText();
    if (role == Qt::ToolTipRole) // the table may be narrower than the text
        return info->displayText();
    return QVariant();
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

const DeviceInfo *DeviceModel::device(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= list.size())
        return nullptr;
    return &list.at(index.row());
}

void DeviceModel::append(const DeviceInfo &device)
{
    beginInsertRows(QModelIndex(), list.size(), list.size());
    list.append(device);
    endInsertRows();
}

void DeviceModel::append(const QVector<DeviceInfo> &devices)
{
    if (devices.isEmpty())
        return;
    beginInsertRows(QModelIndex(), list.size(), list.size() + devices.size() - 1);
    list += devices;
    endInsertRows();
}

void DeviceModel::clear()
{
    beginResetModel();
    list.clear();
    endResetModel();
}
