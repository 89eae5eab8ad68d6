#pragma once

#include "link/modbusport.h"

#include <QDialog>

class QComboBox;

// "Добавить": asks for one address and frame format to probe by hand.
class SearchDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kFormatChoices = 3;   // 8E1, 8O1, 8N15: the formats a scan probes
    static constexpr int kLastAddress = ModbusPort::kMaxSlaveAddress;

    explicit SearchDialog(QWidget *parent = nullptr);

    int address() const;
    int frameFormat() const;
    void setAddress(int address);
    void setFrameFormat(int code);

private:
    void setupSelectors();

    QComboBox *formatBox;
    QComboBox *addressBox;
};
