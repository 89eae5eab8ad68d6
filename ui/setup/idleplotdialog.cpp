#include "ui/setup/idleplotdialog.h"

#include "plots/idleprotectionplot.h"

#include <QGridLayout>

namespace {
constexpr int kMinimumWidth = 340;
constexpr int kMinimumHeight = 300;
} // namespace

IdlePlotDialog::IdlePlotDialog(double ratedCurrent, double minCurrentFraction, int voltageTolerance,
                               double correction, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("idlePlotDialog"));
    setWindowTitle(tr("Сдвиг порога защиты от холостого хода"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setModal(true);
    auto *grid = new QGridLayout(this);
    diagram = new IdleProtectionPlot(ratedCurrent, minCurrentFraction, voltageTolerance, correction, this);
    grid->addWidget(diagram, 0, 0);
}
