#pragma once

#include <QDialog>

class IdleProtectionPlot;

// "Сдвиг порога защиты от холостого хода": the idle-protection diagram alone in a
// dialog, closed by its frame.
class IdlePlotDialog : public QDialog
{
    Q_OBJECT
public:
    IdlePlotDialog(double ratedCurrent, double minCurrentFraction, int voltageTolerance, double correction,
                   QWidget *parent = nullptr);

    IdleProtectionPlot *plot() const { return diagram; }

private:
    IdleProtectionPlot *diagram = nullptr;
};
