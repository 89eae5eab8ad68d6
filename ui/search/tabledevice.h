#pragma once

#include <QTableView>

class DeviceModel;
struct DeviceInfo;

// The device table of the search tab: whole rows, no editing; follows its
// current row and offers a double-clicked known device for connection.
// The records it signals are borrowed for the duration of the call.
class TableDevice : public QTableView
{
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 280; // the least width; wider when the text needs it

    explicit TableDevice(DeviceModel *model, QWidget *parent = nullptr);

    // The record of the current row, or nullptr; valid until the list changes.
    const DeviceInfo *currentDevice() const;

signals:
    void selectedDevice(const DeviceInfo *device);
    void connectTo(const DeviceInfo *device);

private slots:
    void onCurrentRowChanged(const QModelIndex &index);
    void onRowDoubleClicked(const QModelIndex &index);
    void onModelReset();
    void fitColumn();

private:
    DeviceModel *deviceModel;
};
