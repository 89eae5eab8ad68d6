#include "configdialog.h"

#include "appsettings.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {
// The dialog's fixed size: its first rows as always, the line's group below them.
constexpr int kWidth = 320;
constexpr int kHeight = 330;
} // namespace

ConfigDialog::ConfigDialog(bool autoConnect, int axisScale, int plotInterval, QWidget *parent)
    : QDialog(parent), autoConnectBox(new QCheckBox(tr("Автоматическое подключение при запуске программы"), this))
{
    setWindowTitle(tr("Параметры"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(kWidth, kHeight);
    autoConnectBox->setChecked(autoConnect);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(autoConnectBox);
    layout->addWidget(setupAxisGroup(axisScale));
    layout->addWidget(new QLabel(tr("Интервал графиков"), this));
    layout->addLayout(setupIntervalRow(plotInterval));
    layout->addWidget(setupLinkGroup());
    layout->addLayout(setupButtons());
}

// The line: how replies end, and a pause for slow devices.
QGroupBox *ConfigDialog::setupLinkGroup()
{
    auto *group = new QGroupBox(tr("Окончание ответа"), this);
    lengthFramingButton = new QRadioButton(tr("по длине кадра"), group);
    gapFramingButton = new QRadioButton(tr("по паузе 250 мс"), group);
    lengthFramingButton->setChecked(true);
    pauseBox = new QSpinBox(group);
    pauseBox->setRange(0, AppSettings::kMaxExtraPauseMs);
    pauseBox->setSuffix(tr(" мс"));
    auto *pauseRow = new QHBoxLayout;
    pauseRow->addWidget(new QLabel(tr("Пауза перед запросом"), group));
    pauseRow->addWidget(pauseBox);
    auto *column = new QVBoxLayout(group);
    column->addWidget(lengthFramingButton);
    column->addWidget(gapFramingButton);
    column->addLayout(pauseRow);
    return group;
}

void ConfigDialog::setLinkSettings(int framing, int extraPauseMs)
{
    (framing == AppSettings::kFramingGap ? gapFramingButton : lengthFramingButton)->setChecked(true);
    pauseBox->setValue(extraPauseMs);
}

int ConfigDialog::framing() const
{
    return gapFramingButton->isChecked() ? AppSettings::kFramingGap : AppSettings::kFramingLength;
}

int ConfigDialog::extraPauseMs() const
{
    return pauseBox->value();
}

QWidget *ConfigDialog::setupAxisGroup(int axisScale)
{
    auto *group = new QGroupBox(tr("Масштаб оси токов токо-временной характеристики"), this);
    linearButton = new QRadioButton(tr("Линейный"), group);
    logarithmicButton = new QRadioButton(tr("Логарифмический"), group);
    auto *column = new QVBoxLayout(group);
    column->addWidget(linearButton);
    column->addWidget(logarithmicButton);
    // A damaged file may hold any value; the plot draws every value but 1 linear.
    if (axisScale == AppSettings::kLogarithmicAxis)
        logarithmicButton->setChecked(true);
    else
        linearButton->setChecked(true);
    return group;
}

QLayout *ConfigDialog::setupIntervalRow(int plotInterval)
{
    hoursBox = new QSpinBox(this);
    hoursBox->setRange(0, AppSettings::kMaxPlotHours);
    hoursBox->setSuffix(tr("ч."));
    hoursBox->setValue(plotInterval / 3600);
    minutesBox = new QSpinBox(this);
    minutesBox->setRange(0, 59);
    minutesBox->setSuffix(tr("мин."));
    minutesBox->setValue(plotInterval % 3600 / 60);
    auto *row = new QBoxLayout(QBoxLayout::RightToLeft);
    row->addWidget(minutesBox);
    row->addWidget(hoursBox);
    return row;
}

QLayout *ConfigDialog::setupButtons()
{
    auto *ok = new QPushButton(tr("ОК"), this);
    auto *cancel = new QPushButton(tr("Отмена"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

bool ConfigDialog::autoConnect() const
{
    return autoConnectBox->isChecked();
}

int ConfigDialog::axisScale() const
{
    return linearButton->isChecked() ? AppSettings::kLinearAxis : AppSettings::kLogarithmicAxis;
}

int ConfigDialog::plotInterval() const
{
    return hoursBox->value() * 3600 + minutesBox->value() * 60;
}
