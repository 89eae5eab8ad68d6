#include "ui/watch/detaildialog.h"

#include "device/crashprotocolevent.h"
#include "ui/watch/protocolmodel.h"

#include <QGridLayout>
#include <QLabel>

DetailDialog::DetailDialog(const ProtocolEvent &entry, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Подробнее"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(entry.time().toString(QLatin1String(ProtocolModel::kTimeFormat)), this), 0, 0);
    grid->addWidget(new QLabel(entry.text(), this), 0, 1);
    if (entry.kind() == ProtocolEvent::CrashLog)
        addCrashRows(entry);
}

void DetailDialog::addCrashRows(const ProtocolEvent &entry)
{
    const auto *crash = dynamic_cast<const CrashProtocolEvent *>(&entry);
    if (!crash)
        return;
    QString currents[3];
    QString voltages[3];
    for (int phase = 0; phase < 3; ++phase) {
        currents[phase] = QString::number(crash->current(phase), 'f', 1);
        voltages[phase] = QString::number(crash->voltage(phase));
    }
    addHeading(1, tr("Ток в момент срабатывания защиты (А)"));
    addPhaseRows(2, currents);
    addHeading(5, tr("Напряжение в момент срабатывания защиты (В)"));
    addPhaseRows(6, voltages);
}

void DetailDialog::addHeading(int row, const QString &text)
{
    auto *grid = static_cast<QGridLayout *>(layout());
    grid->addWidget(new QLabel(text, this), row, 0, 1, 2, Qt::AlignHCenter);
}

void DetailDialog::addPhaseRows(int firstRow, const QString (&values)[3])
{
    auto *grid = static_cast<QGridLayout *>(layout());
    const QString names[3] = {tr("Фаза A:"), tr("Фаза B:"), tr("Фаза C:")};
    for (int phase = 0; phase < 3; ++phase) {
        grid->addWidget(new QLabel(names[phase], this), firstRow + phase, 0);
        grid->addWidget(new QLabel(values[phase], this), firstRow + phase, 1);
    }
}
