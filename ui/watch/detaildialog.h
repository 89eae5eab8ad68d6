#pragma once

#include <QDialog>

class ProtocolEvent;

// Details of one protocol entry; a crash entry adds the phase currents and
// voltages at the trip. Keeps no reference to the entry.
class DetailDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DetailDialog(const ProtocolEvent &entry, QWidget *parent = nullptr);

private:
    void addCrashRows(const ProtocolEvent &entry);
    void addHeading(int row, const QString &text);
    void addPhaseRows(int firstRow, const QString (&values)[3]);
};
