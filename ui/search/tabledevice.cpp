#include "ui/search/tabledevice.h"

#include "device/deviceinfo.h"
#include "ui/search/devicemodel.h"

#include <QHeaderView>

TableDevice::TableDevice(DeviceModel *model, QWidget *parent)
    : QTableView(parent), deviceModel(model)
{
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
    connect(model, &QAbstractItemModel::rowsInserted, this, &TableDevice::fitColumn);
}

const DeviceInfo *TableDevice::currentDevice() const
{
    return deviceModel->device(currentIndex());
}

void TableDevice::onCurrentRowChanged(const QModelIndex &index)
{
    emit selectedDevice(deviceModel->device(index));
}

void TableDevice::onRowDoubleClicked(const QModelIndex &index)
{
    const DeviceInfo *info = deviceModel->device(index);
    if (info && info->kind != DeviceInfo::Unknown)
        emit connectTo(info);
}

void TableDevice::onModelReset()
{
    emit selectedDevice(nullptr);
    fitColumn();
}

// The column keeps its least width and grows to the longest text in this font.
void TableDevice::fitColumn()
{
    setColumnWidth(0, qMax(kColumnWidth, sizeHintForColumn(0)));
}
