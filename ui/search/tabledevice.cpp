#include "tabledevice.h"

#include "devicemodel.h"
#include "deviceinfo.h"

#include <QHeaderView>

TableDevice::TableDevice(DeviceModel *model, QWidget *parent)
    : QTableView(parent), deviceModel(model)
{
    qRegisterMetaType<DeviceInfo *>("DeviceInfo*");
    setModel(model);
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setColumnWidth(0, kColumnWidth);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TableDevice::onCurrentRowChanged);
    connect(this, &QAbstractItemView::doubleClicked, this, &TableDevice::onRowDoubleClicked);
    // A reset clears the current row without any signal from the selection model.
    connect(model, &QAbstractItemModel::modelReset, this, &TableDevice::onModelReset);
}

void TableDevice::onCurrentRowChanged(const QModelIndex &index)
{
    current = deviceModel->device(index);
    emit selectedDevice(current);
}

void TableDevice::onRowDoubleClicked(const QModelIndex &index)
{
    DeviceInfo *info = deviceModel->device(index);
    if (info && info->kind != DeviceInfo::Unknown)
        emit connectTo(info);
}

void TableDevice::onModelReset()
{
    current = nullptr;
    emit selectedDevice(nullptr);
}
