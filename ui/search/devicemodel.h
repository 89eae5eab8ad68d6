#pragma once

#include <QAbstractListModel>
#include <QList>

struct DeviceInfo;

// One-column read-only view of the search tab's device list; the list and its
// records belong to the tab.
class DeviceModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit DeviceModel(QList<DeviceInfo *> *devices, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The record behind a row, or nullptr.
    DeviceInfo *device(const QModelIndex &index) const;
    // Takes ownership on behalf of the tab's list and shows it as the last row.
    void append(DeviceInfo *device);
    // Deletes every record and empties the list.
    void clear();

private:
    QList<DeviceInfo *> *list;
};
