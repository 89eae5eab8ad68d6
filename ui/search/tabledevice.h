#pragma once

#include <QTableView>

class DeviceModel;
struct DeviceInfo;

// The device table of the search tab: whole rows, no editing; follows its
// current row and offers a double-clicked known device for connection.
class TableDevice : public QTableView
{
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 280;

    explicit TableDevice(DeviceModel *model, QWidget *parent = nullptr);

    // The record of the current row, or nullptr.
    DeviceInfo *currentDevice() const { return current; }

signals:
    void selectedDevice(DeviceInfo *device);
    void connectTo(DeviceInfo *device);

private slots:
    void onCurrentRowChanged(const QModelIndex &index);
    void onRowDoubleClicked(const QModelIndex &index);
    void onModelReset();

private:
    DeviceModel *deviceModel;
    DeviceInfo *current = nullptr;
};
