#pragma once

#include <QDialog>

class QDateTimeEdit;

// "Время": the device clock as a local date and time, editable or taken from the PC,
// returned as the device's unsigned 32-bit seconds since 1970 UTC.
class TimeDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TimeDialog(quint32 deviceTime, QWidget *parent = nullptr);

    // The editor's moment as device seconds; read after the dialog was accepted.
    quint32 time() const;
    QDateTimeEdit *editor() const { return edit; }

public slots:
    void syncTime();

private:
    QDateTimeEdit *edit = nullptr;
};
