#include "app/configdialog.h"

#include "storage/appsettings.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {
// The dialog's least fixed size: its first rows as always, the line's group below them.
constexpr int kDialogWidth = 320;
constexpr int kDialogHeight = 360;
} // namespace

ConfigDialog::ConfigDialog(bool autoConnect, int axisScale, int plotInterval, QWidget *parent)
    : QDialog(parent), autoConnectBox(new QCheckBox(tr("Автоматическое подключение при запуске программы"), this))
{
    setWindowTitle(tr("Параметры"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    autoConnectBox->setChecked(autoConnect);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(autoConnectBox);
    layout->addWidget(setupAxisGroup(axisScale));
    layout->addWidget(new QLabel(tr("Интервал графиков"), this));
    layout->addLayout(setupIntervalRow(plotInterval));
    layout->addWidget(setupLinkGroup());
    layout->addWidget(setupHistoryGroup());
    layout->addLayout(setupLanguageRows());
    layout->addLayout(setupButtons());
    // Fixed, but never smaller than its texts in this font: a clipped label is unreadable.
    setFixedSize(QSize(kDialogWidth, kDialogHeight).expandedTo(layout->minimumSize()));
}

// The line: how replies end, a pause for slow devices, the time a network adds.
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
    pauseBox->setObjectName(QStringLiteral("extraPause"));
    networkBox = new QSpinBox(group);
    networkBox->setRange(0, AppSettings::kMaxNetworkAllowanceMs);
    networkBox->setSingleStep(50);
    networkBox->setSuffix(tr(" мс"));
    networkBox->setValue(AppSettings::kDefaultNetworkAllowanceMs);
    networkBox->setObjectName(QStringLiteral("networkAllowance"));
    networkBox->setToolTip(tr("Добавляется к времени ожидания ответа на сетевых линиях"));
    auto *networkRow = new QHBoxLayout;
    networkRow->addWidget(new QLabel(tr("Запас на сеть"), group));
    networkRow->addWidget(networkBox);
    auto *column = new QVBoxLayout(group);
    column->addWidget(lengthFramingButton);
    column->addWidget(gapFramingButton);
    column->addLayout(pauseRow);
    column->addLayout(networkRow);
    return group;
}

QGroupBox *ConfigDialog::setupHistoryGroup()
{
    auto *group = new QGroupBox(tr("История"), this);
    auto *grid = new QGridLayout(group);
    fullDaysBox = new QSpinBox(group);
    fullDaysBox->setObjectName(QStringLiteral("historyFullDays"));
    minuteDaysBox = new QSpinBox(group);
    minuteDaysBox->setObjectName(QStringLiteral("historyMinuteDays"));
    for (QSpinBox *box : {fullDaysBox, minuteDaysBox}) {
        box->setRange(1, AppSettings::kMaxHistoryDays);
        box->setSuffix(tr(" сут"));
    }
    fullDaysBox->setValue(AppSettings::kDefaultHistoryFullDays);
    minuteDaysBox->setValue(AppSettings::kDefaultHistoryMinuteDays);
    minuteDaysBox->setToolTip(tr("Дальше одна строка в минуту: минимум, среднее и максимум"));
    grid->addWidget(new QLabel(tr("Полное разрешение"), group), 0, 0);
    grid->addWidget(fullDaysBox, 0, 1);
    grid->addWidget(new QLabel(tr("Поминутно"), group), 1, 0);
    grid->addWidget(minuteDaysBox, 1, 1);
    return group;
}

void ConfigDialog::setHistoryPeriods(int fullDays, int minuteDays)
{
    fullDaysBox->setValue(fullDays);
    minuteDaysBox->setValue(minuteDays);
}

int ConfigDialog::historyFullDays() const
{
    return fullDaysBox->value();
}

// Never shorter than the full resolution: the minute rows are made from it.
int ConfigDialog::historyMinuteDays() const
{
    return qMax(minuteDaysBox->value(), fullDaysBox->value());
}

void ConfigDialog::setLinkSettings(AppSettings::Framing framing, int extraPauseMs, int networkAllowanceMs)
{
    (framing == AppSettings::Framing::Gap ? gapFramingButton : lengthFramingButton)->setChecked(true);
    pauseBox->setValue(extraPauseMs);
    networkBox->setValue(networkAllowanceMs);
}

int ConfigDialog::networkAllowanceMs() const
{
    return networkBox->value();
}

AppSettings::Framing ConfigDialog::framing() const
{
    return gapFramingButton->isChecked() ? AppSettings::Framing::Gap : AppSettings::Framing::Length;
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

// The language is read before the first window is made: a new choice waits for the next start.
QLayout *ConfigDialog::setupLanguageRows()
{
    languageBox = new QComboBox(this);
    languageBox->setObjectName(QStringLiteral("languageBox"));
    languageBox->addItem(tr("Как в системе"), int(AppSettings::Language::System));
    // Each language by its own name, so that it is found whatever the current one.
    languageBox->addItem(QStringLiteral("Русский"), int(AppSettings::Language::Russian));
    languageBox->addItem(QStringLiteral("English"), int(AppSettings::Language::English));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Язык"), this));
    row->addWidget(languageBox, 1);
    auto *column = new QVBoxLayout;
    column->addLayout(row);
    column->addWidget(new QLabel(tr("Язык сменится при следующем запуске"), this));
    return column;
}

void ConfigDialog::setLanguage(AppSettings::Language language)
{
    const int index = languageBox->findData(int(language));
    languageBox->setCurrentIndex(index < 0 ? 0 : index);
}

AppSettings::Language ConfigDialog::language() const
{
    return AppSettings::Language(languageBox->currentData().toInt());
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
