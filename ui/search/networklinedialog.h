#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "Сетевая линия...": a line behind a Modbus TCP gateway or a serial device server,
// bound to a COM number, so that device records and the last connection work as for
// a local port.
class NetworkLineDialog : public QDialog
{
    Q_OBJECT
public:
    enum Kind { ModbusTcp = 0, RtuOverTcp = 1, Rfc2217 = 2 };
    static constexpr int kModbusTcpPort = 502;
    static constexpr int kServerPort = 4001; // a common first port of serial device servers

    // firstFreeNumber: the COM number offered.
    explicit NetworkLineDialog(int firstFreeNumber, QWidget *parent = nullptr);

    // "modbus-tcp://HOST:PORT", "tcp://HOST:PORT" or "rfc2217://HOST:PORT".
    QString url() const;
    int portNumber() const;
    void setLine(Kind kind, const QString &host, int port, int number);

private slots:
    void onKindChanged(int kind);
    void onHostEdited();

private:
    QComboBox *kindBox;
    QLineEdit *hostEdit;
    QSpinBox *tcpPortBox;
    QSpinBox *numberBox;
    QPushButton *okButton = nullptr;
};
