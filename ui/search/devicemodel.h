#pragma once

#include "device/deviceinfo.h"

#include <QAbstractListModel>
#include <QVector>

// The search tab's device list, by value, as a one-column read-only table.
class DeviceModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit DeviceModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QVector<DeviceInfo> &devices() const { return list; }
    // The record behind a row, or nullptr; valid until the list changes.
    const DeviceInfo *device(const QModelIndex &index) const;
    // Shows the record as the last row.
    void append(const DeviceInfo &device);
    // Shows the records as the last rows, in one insertion: a view that fits itself to
    // the rows then looks at them once, not once per record.
    void append(const QVector<DeviceInfo> &devices);
    void clear();

private:
    QVector<DeviceInfo> list;
};
