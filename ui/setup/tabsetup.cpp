#include "tabsetup.h"

#include "changeautoconfigstate.h"
#include "configchoices.h"
#include "configevent.h"
#include "configpacket.h"
#include "configrules.h"
#include "currentdeviceversion.h"
#include "dataeventget.h"
#include "deviceinfo.h"
#include "idleplotdialog.h"
#include "maincontrol.h"
#include "packetfactory.h"
#include "settingsfile.h"
#include "timedialog.h"
#include "watchdatapacket.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

using F = ConfigFields;

// The two marks of the consistency check, as the device's own tool sets them.
const char kComboMark[] = ":editable { background-color: #FF3300; } ";
const char kCheckMark[] = "background-color: #FF3300;";
// Our own mark of a value a write would change: the row's label, never red.
const char kDifferenceMark[] = "background-color: #99CCFF;";
constexpr int kResultStatusMs = 5000;
constexpr int kAutoSetupDone = 2;       // ChangeAutoConfigState: auto-setup finished
constexpr int kImbalanceTripInitial = 255; // tens of ms shown before a modification 50 block fills it
constexpr double kPercent = 0.01;
constexpr int kTenths = 10;
enum CommandButton { ReadButton, WriteButton, TimeButton, CrashButton, WorkButton, HoursButton };

// The order in which a block fills the editors (their change signals fire in it).
const F::Id kFillOrder[] = {
    F::RatedCurrent, F::MinCurrent, F::OverloadMultiple, F::OverloadReactionTime, F::ImbalanceThreshold,
    F::SwitchOnDelay, F::BrokenPhasesAllowed, F::DoubleOverloadTime, F::Pt100Threshold, F::FastProtection,
    F::AutoRestart, F::PtcProtection, F::HumidityProtection, F::VoltageTolerance, F::CyclicWorkTime,
    F::CyclicPauseTime, F::Input1Function, F::Input2Function, F::PowerOutputFunction, F::AuxOutputFunction,
    F::SwitchDelay, F::RemoteControl, F::PhaseSequenceCheck, F::Pt100Protection, F::CyclicMode,
    F::ImbalanceTripTime, F::MinCurrentCorrection, F::InsulationThreshold};

ConfigChoices::Field choicesOf(F::Id id)
{
    switch (id) {
    case F::VoltageTolerance: return ConfigChoices::VoltageTolerance;
    case F::Input1Function: return ConfigChoices::Input1Function;
    case F::Input2Function: return ConfigChoices::Input2Function;
    case F::PowerOutputFunction: return ConfigChoices::PowerOutputFunction;
    case F::AuxOutputFunction: return ConfigChoices::AuxOutputFunction;
    default: return ConfigChoices::InsulationThreshold;
    }
}

} // namespace

struct TabSetup::Row {
    F::Id id;
    Kind kind;
    const char *suffix; // the source text of its translation
};

TabSetup::TabSetup(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
    setObjectName(QStringLiteral("setupTab"));
    auto *content = new QWidget;
    auto *columns = new QHBoxLayout;
    auto *left = new QGridLayout;
    auto *right = new QGridLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    setupEditors(left, right);
    auto *box = new QVBoxLayout(content);
    box->addLayout(columns);
    box->addWidget(buttonGrid());
    // Seventeen rows and the buttons need more height than a laptop leaves the tab.
    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("setupPanel"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    connectSignals();
}

TabSetup::~TabSetup() = default;

void TabSetup::setupEditors(QGridLayout *left, QGridLayout *right)
{
    const Row leftRows[] = {
        {F::RatedCurrent, Kind::Amps, QT_TR_NOOP("А")}, {F::DoubleOverloadTime, Kind::Spin, QT_TR_NOOP(" сек")},
        {F::OverloadMultiple, Kind::Spin, ""}, {F::OverloadReactionTime, Kind::Tens, QT_TR_NOOP("0 мсек")},
        {F::FastProtection, Kind::Check, ""}, {F::ImbalanceThreshold, Kind::Spin, "%"},
        {F::ImbalanceTripTime, Kind::Tens, QT_TR_NOOP("0 мсек")}, {F::BrokenPhasesAllowed, Kind::Spin, ""},
        {F::MinCurrent, Kind::Spin, "%"}, {F::MinCurrentCorrection, Kind::Tenths, ""},
        {F::VoltageTolerance, Kind::Combo, ""}, {F::PhaseSequenceCheck, Kind::Check, ""},
        {F::InsulationThreshold, Kind::Combo, ""}, {F::PtcProtection, Kind::Check, ""},
        {F::Pt100Protection, Kind::Check, ""}, {F::Pt100Threshold, Kind::Spin, QT_TR_NOOP(" °C")},
        {F::HumidityProtection, Kind::Check, ""}};
    const Row rightRows[] = {
        {F::AutoRestart, Kind::Check, ""}, {F::PowerOutputFunction, Kind::Combo, ""},
        {F::AuxOutputFunction, Kind::Combo, ""}, {F::SwitchDelay, Kind::Spin, QT_TR_NOOP(" сек")},
        {F::SwitchOnDelay, Kind::Spin, QT_TR_NOOP(" сек")}, {F::CyclicMode, Kind::Check, ""},
        {F::CyclicWorkTime, Kind::Spin, QT_TR_NOOP(" мин")}, {F::CyclicPauseTime, Kind::Spin, QT_TR_NOOP(" мин")},
        {F::Input1Function, Kind::Combo, ""}, {F::Input2Function, Kind::Combo, ""},
        {F::RemoteControl, Kind::Check, ""}};
    for (const Row &row : leftRows)
        addRow(left, row);
    for (const Row &row : rightRows)
        addRow(right, row);
    for (QGridLayout *grid : {left, right}) {
        grid->setRowStretch(grid->rowCount(), 1);
        grid->setColumnStretch(0, 1);
    }
    static_cast<QComboBox *>(editors[F::InsulationThreshold])->setCurrentIndex(1);
}

QWidget *TabSetup::addRow(QGridLayout *grid, const Row &row)
{
    const int at = grid->rowCount();
    auto *text = new QLabel(F::label(row.id));
    text->setObjectName(F::name(row.id) + QStringLiteral("Label"));
    text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text->setWordWrap(true); // the longest labels take two lines on a laptop screen
    labels[row.id] = text;
    QWidget *edit = makeEditor(row);
    editors[row.id] = edit;
    grid->addWidget(text, at, 0);
    if (row.id != F::MinCurrentCorrection) {
        grid->addWidget(edit, at, 1);
        return edit;
    }
    // The correction shares its row with the diagram it shifts.
    auto *box = new QHBoxLayout;
    box->addWidget(edit);
    idlePlotButton = new QPushButton(tr("Диаграмма"));
    idlePlotButton->setObjectName(QStringLiteral("idlePlotButton"));
    connect(idlePlotButton, &QPushButton::clicked, this, &TabSetup::onBtnShowIdlePlot);
    box->addWidget(idlePlotButton);
    grid->addLayout(box, at, 1);
    return edit;
}

QWidget *TabSetup::makeEditor(const Row &row)
{
    QWidget *edit = nullptr;
    const F::Range r = F::range(row.id, DeviceInfo());
    if (row.kind == Kind::Check) {
        auto *check = new QCheckBox;
        check->setLayoutDirection(Qt::RightToLeft);
        edit = check;
    } else if (row.kind == Kind::Combo) {
        auto *combo = new QComboBox;
        combo->addItems(ConfigChoices::texts(choicesOf(row.id)));
        edit = combo;
    } else if (row.kind == Kind::Amps || row.kind == Kind::Tenths) {
        auto *spin = new QDoubleSpinBox;
        spin->setSuffix(tr(row.suffix));
        if (row.kind == Kind::Tenths) {
            spin->setDecimals(1);
            spin->setSingleStep(1.0 / kTenths);
            spin->setRange(double(r.low) / kTenths, double(r.high) / kTenths);
            spin->setValue(0.0);
        }
        edit = spin;
    } else {
        auto *spin = new QSpinBox;
        spin->setSuffix(tr(row.suffix));
        spin->setRange(r.low / r.step, r.high / r.step);
        edit = spin;
    }
    edit->setObjectName(F::name(row.id) + QStringLiteral("Edit"));
    return edit;
}

QPushButton *TabSetup::button(const QString &text, const char *objectName, void (TabSetup::*slot)())
{
    auto *b = new QPushButton(text);
    b->setObjectName(QLatin1String(objectName));
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

QWidget *TabSetup::buttonGrid()
{
    auto *panel = new QWidget;
    auto *grid = new QGridLayout(panel);
    commandButtons[ReadButton] = button(tr("Считать настройки"), "readConfigButton", &TabSetup::onBtnReadConfigClicked);
    commandButtons[WriteButton] = writeButton =
        button(tr("Записать настройки"), "writeConfigButton", &TabSetup::onBtnWriteConfigClicked);
    commandButtons[TimeButton] = button(tr("Установить время ОРБИКС"), "writeTimeButton", &TabSetup::onBtnWriteTimeClicked);
    commandButtons[CrashButton] = button(tr("Сброс протокола аварий"), "resetCrashProtocolButton",
                                         &TabSetup::onBtnResetCrashProtocolClicked);
    commandButtons[WorkButton] = button(tr("Сброс протокола работы двигателя"), "resetWorkProtocolButton",
                                        &TabSetup::onBtnResetWorkProtocol);
    commandButtons[HoursButton] = button(tr("Сброс наработки"), "resetWorkTimeButton", &TabSetup::onBtnResetWorkTime);
    constexpr int kColumns = 3;
    for (int i = 0; i < kCommandCount; ++i)
        grid->addWidget(commandButtons[i], i / kColumns, i % kColumns);
    grid->addWidget(button(tr("Сохранить в файл..."), "saveSettingsButton", &TabSetup::onBtnSaveFileClicked), 2, 0);
    grid->addWidget(button(tr("Загрузить из файла..."), "loadSettingsButton", &TabSetup::onBtnLoadFileClicked), 2, 1);
    return panel;
}

void TabSetup::connectSignals()
{
    for (F::Id id : {F::RemoteControl, F::CyclicMode, F::HumidityProtection, F::FastProtection})
        connect(static_cast<QCheckBox *>(editors[id]), &QCheckBox::stateChanged, this, &TabSetup::onSetupChanged);
    for (F::Id id : {F::Input1Function, F::Input2Function, F::PowerOutputFunction, F::AuxOutputFunction})
        connect(static_cast<QComboBox *>(editors[id]), QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &TabSetup::onSetupChanged);
    // Any edit may make or clear a difference from the device.
    for (QWidget *edit : editors) {
        if (auto *check = qobject_cast<QCheckBox *>(edit))
            connect(check, &QCheckBox::stateChanged, this, [this] { updateDifferenceMarks(); });
        else if (auto *combo = qobject_cast<QComboBox *>(edit))
            connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { updateDifferenceMarks(); });
        else if (auto *spin = qobject_cast<QSpinBox *>(edit))
            connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] { updateDifferenceMarks(); });
        else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(edit))
            connect(dspin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] { updateDifferenceMarks(); });
    }
}

void TabSetup::onDataEvent(const DataEvent *event)
{
    const int type = event->type();
    if (type == DataEvent::Get) {
        if (const WatchDataPacket *block = static_cast<const DataEventGet *>(event)->packet())
            lastDeviceTime = block->deviceTime();
    } else if (type == DataEvent::Connected) {
        onConnected();
    } else if (type == DataEvent::Config) {
        if (const ConfigPacket *block = static_cast<const ConfigEvent *>(event)->packet())
            onConfiguration(*block);
        setCommandsEnabled(true);
    } else if (type >= DataEvent::ClockSet && type <= DataEvent::WorkTimeNotReset) {
        setCommandsEnabled(true);
    } else if (type == DataEvent::AutoConfigStateChanged) {
        if (static_cast<const ChangeAutoConfigState *>(event)->newState() == kAutoSetupDone)
            onBtnReadConfigClicked();
    }
}

void TabSetup::onConnected()
{
    const int modification = currentDeviceVersion;
    auto *rated = static_cast<QDoubleSpinBox *>(editors[F::RatedCurrent]);
    if (const DeviceInfo *device = mainControl->currentDevice()) {
        rated->setDecimals(device->currentScale > 1 ? 1 : 0);
        rated->setRange(device->minRatedCurrent, device->maxRatedCurrent);
    }
    editors[F::ImbalanceTripTime]->setEnabled(modification >= PacketFactory::kModificationV50);
    editors[F::MinCurrentCorrection]->setEnabled(modification >= PacketFactory::kModificationV70);
    editors[F::InsulationThreshold]->setEnabled(modification >= PacketFactory::kModificationV70);
    static_cast<QSpinBox *>(editors[F::ImbalanceTripTime])->setValue(kImbalanceTripInitial);
    deviceBlock.reset(); // nothing read from this device yet
    updateDifferenceMarks();
}

void TabSetup::onConfiguration(const ConfigPacket &block)
{
    deviceBlock.reset(block.clone());
    fillFrom(block);
    updateDifferenceMarks();
}

void TabSetup::fillFrom(const ConfigPacket &block)
{
    const int modification = currentDeviceVersion;
    for (F::Id id : kFillOrder)
        if (F::present(id, modification) && F::present(id, block.version()))
            setEditorWord(id, F::value(block, id));
}

std::unique_ptr<ConfigPacket> TabSetup::buildConfiguration() const
{
    std::unique_ptr<ConfigPacket> block = PacketFactory::configuration(currentDeviceVersion);
    for (F::Id id : F::fieldsOf(block->version()))
        F::setValue(*block, id, editorWord(id));
    return block;
}

TabSetup::Kind TabSetup::kindOf(F::Id id) const
{
    QWidget *edit = editors[id];
    if (qobject_cast<QCheckBox *>(edit))
        return Kind::Check;
    if (qobject_cast<QComboBox *>(edit))
        return Kind::Combo;
    if (id == F::RatedCurrent)
        return Kind::Amps;
    if (id == F::MinCurrentCorrection)
        return Kind::Tenths;
    return F::range(id, DeviceInfo()).step > 1 ? Kind::Tens : Kind::Spin;
}

int TabSetup::currentScale() const
{
    const DeviceInfo *device = mainControl->currentDevice();
    return device ? device->currentScale : 0;
}

// The inverse conversions of the block: what a write sends for the editor's value.
int TabSetup::editorWord(F::Id id) const
{
    QWidget *edit = editors[id];
    switch (kindOf(id)) {
    case Kind::Check: return static_cast<QCheckBox *>(edit)->isChecked() ? 1 : 0;
    case Kind::Combo: return static_cast<QComboBox *>(edit)->currentIndex();
    case Kind::Amps: return ConfigPacket::ampsToCounts(static_cast<QDoubleSpinBox *>(edit)->value(), currentScale());
    case Kind::Tenths: return int(std::lround(static_cast<QDoubleSpinBox *>(edit)->value() * kTenths));
    case Kind::Tens: return static_cast<QSpinBox *>(edit)->value() * F::range(id, DeviceInfo()).step;
    case Kind::Spin: break;
    }
    return static_cast<QSpinBox *>(edit)->value();
}

// Spin boxes clamp what they are given; so do the choice lists, which would
// otherwise show nothing and write -1.
void TabSetup::setEditorWord(F::Id id, int word)
{
    QWidget *edit = editors[id];
    switch (kindOf(id)) {
    case Kind::Check: static_cast<QCheckBox *>(edit)->setChecked(word != 0); return;
    case Kind::Combo: {
        auto *combo = static_cast<QComboBox *>(edit);
        combo->setCurrentIndex(qBound(0, word, combo->count() - 1));
        return;
    }
    case Kind::Amps: {
        const int scale = currentScale();
        static_cast<QDoubleSpinBox *>(edit)->setValue(scale == 0 ? 0.0 : double(word) / double(scale));
        return;
    }
    case Kind::Tenths: static_cast<QDoubleSpinBox *>(edit)->setValue(qint16(word) * (1.0 / kTenths)); return;
    case Kind::Tens: static_cast<QSpinBox *>(edit)->setValue(word / F::range(id, DeviceInfo()).step); return;
    case Kind::Spin: static_cast<QSpinBox *>(edit)->setValue(word); return;
    }
}

void TabSetup::onSetupChanged()
{
    for (F::Id id : ConfigRules::checkedFields())
        editors[id]->setStyleSheet(QString());
    ConfigRules::Settings s;
    s.input1 = editorWord(F::Input1Function);
    s.input2 = editorWord(F::Input2Function);
    s.powerOutput = editorWord(F::PowerOutputFunction);
    s.auxOutput = editorWord(F::AuxOutputFunction);
    s.remoteControl = editorWord(F::RemoteControl);
    s.cyclicMode = editorWord(F::CyclicMode);
    s.humidityProtection = editorWord(F::HumidityProtection);
    s.fastProtection = editorWord(F::FastProtection);
    const QVector<ConfigRules::Violation> violations = ConfigRules::check(s);
    for (const ConfigRules::Violation &v : violations)
        for (F::Id id : v.marked)
            editors[id]->setStyleSheet(QLatin1String(kindOf(id) == Kind::Combo ? kComboMark : kCheckMark));
    // While a request is out the write stays disabled: a second block would be dropped.
    writeButton->setEnabled(violations.isEmpty() && commandButtons[ReadButton]->isEnabled());
}

void TabSetup::setCommandsEnabled(bool enabled)
{
    for (QPushButton *b : commandButtons)
        b->setEnabled(enabled);
    if (enabled)
        onSetupChanged(); // a refused configuration stays unwritable after any result
}

bool TabSetup::passesGate()
{
    if (mainControl->hasAccessCode())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Настройка"), tr("Для этой операции необходимо ввести пароль."),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("accessCodeWarning"));
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    mainControl->focusAccessCode();
    return false;
}

void TabSetup::onBtnReadConfigClicked()
{
    mainControl->requestReadConfig();
    setCommandsEnabled(false);
}

void TabSetup::onBtnWriteConfigClicked()
{
    // A write that is not handed over (no backup, no connection) leaves the buttons as they were.
    if (mainControl->requestWriteConfig(buildConfiguration()))
        setCommandsEnabled(false);
}

void TabSetup::onBtnWriteTimeClicked()
{
    if (!passesGate())
        return;
    TimeDialog dialog(lastDeviceTime, this);
    dialog.setObjectName(QStringLiteral("timeDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    mainControl->requestSetTime(dialog.time());
    setCommandsEnabled(false);
}

void TabSetup::onBtnResetCrashProtocolClicked()
{
    if (!passesGate())
        return;
    mainControl->requestResetCrashProtocol();
    setCommandsEnabled(false);
}

void TabSetup::onBtnResetWorkProtocol()
{
    if (!passesGate())
        return;
    mainControl->requestResetWorkProtocol();
    setCommandsEnabled(false);
}

void TabSetup::onBtnResetWorkTime()
{
    if (!passesGate())
        return;
    mainControl->requestResetWorkTime();
    setCommandsEnabled(false);
}

void TabSetup::onBtnShowIdlePlot()
{
    IdlePlotDialog dialog(static_cast<QDoubleSpinBox *>(editors[F::RatedCurrent])->value(),
                          static_cast<QSpinBox *>(editors[F::MinCurrent])->value() * kPercent,
                          static_cast<QComboBox *>(editors[F::VoltageTolerance])->currentIndex(),
                          static_cast<QDoubleSpinBox *>(editors[F::MinCurrentCorrection])->value(), this);
    dialog.exec();
}

// A word as the editor would show it.
QString TabSetup::shownText(F::Id id, int word) const
{
    switch (kindOf(id)) {
    case Kind::Check: return word != 0 ? tr("включено") : tr("выключено");
    case Kind::Combo: {
        const QString text = ConfigChoices::text(choicesOf(id), word);
        return text.isEmpty() ? QString::number(word) : text;
    }
    case Kind::Amps: {
        const auto *spin = static_cast<QDoubleSpinBox *>(editors[id]);
        const int scale = currentScale();
        return QString::number(scale == 0 ? 0.0 : double(word) / scale, 'f', spin->decimals()) + spin->suffix();
    }
    case Kind::Tenths: return QString::number(qint16(word) * (1.0 / kTenths), 'f', 1);
    case Kind::Tens: return tr("%1 мсек").arg(word);
    case Kind::Spin: break;
    }
    return QString::number(word) + static_cast<QSpinBox *>(editors[id])->suffix();
}

bool TabSetup::differsFromDevice(F::Id id) const
{
    return deviceBlock && F::present(id, deviceBlock->version()) && F::present(id, currentDeviceVersion)
        && editorWord(id) != F::value(*deviceBlock, id);
}

void TabSetup::updateDifferenceMarks()
{
    for (int i = 0; i < F::Count; ++i) {
        const auto id = F::Id(i);
        const bool differs = differsFromDevice(id);
        QString tip;
        if (differs)
            tip = tr("На устройстве: %1").arg(shownText(id, F::value(*deviceBlock, id)));
        labels[id]->setStyleSheet(differs ? QLatin1String(kDifferenceMark) : QString());
        labels[id]->setToolTip(tip);
        editors[id]->setToolTip(tip);
    }
}

void TabSetup::onBtnSaveFileClicked()
{
    const DeviceInfo *device = mainControl->currentDevice();
    const QString suggested = device ? QStringLiteral("COM%1_a%2.json").arg(device->portNumber).arg(device->address)
                                     : QStringLiteral("settings.json");
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить настройки в файл"),
                                                      QDir::home().filePath(suggested),
                                                      tr("Файлы настроек (*.json)"));
    if (!path.isEmpty())
        saveSettingsFile(path);
}

void TabSetup::onBtnLoadFileClicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Загрузить настройки из файла"), QDir::homePath(),
                                                      tr("Файлы настроек (*.json);;Все файлы (*)"));
    if (!path.isEmpty())
        loadSettingsFile(path);
}

bool TabSetup::saveSettingsFile(const QString &path)
{
    const DeviceInfo *device = mainControl->currentDevice();
    QString error = tr("нет подключения к устройству");
    const bool ok = device && SettingsFile::fromBlock(*buildConfiguration(), *device).save(path, error);
    // A failure is shown in a box as well: the engineer believes the file exists.
    report(ok ? tr("Настройки сохранены в файл %1").arg(path) : tr("Настройки не сохранены: %1").arg(error), !ok, ok);
    return ok;
}

bool TabSetup::loadSettingsFile(const QString &path, bool quiet)
{
    SettingsFile file;
    QString message;
    const bool ok = SettingsFile::load(path, file, message) && applySettingsFile(file, message);
    report(ok ? message : tr("Файл настроек не загружен: %1").arg(message), !ok, quiet);
    return ok;
}

// Checks the whole file first: a refused file leaves every editor as it was.
bool TabSetup::applySettingsFile(const SettingsFile &file, QString &message)
{
    const DeviceInfo *device = mainControl->currentDevice();
    if (!device) {
        message = tr("нет подключения к устройству");
        return false;
    }
    std::unique_ptr<ConfigPacket> block = buildConfiguration();
    SettingsFile::Applied applied;
    if (!file.applyTo(*block, *device, applied, message))
        return false;
    fillFrom(*block);
    message = tr("Настройки загружены в редакторы; на устройство не записаны.");
    if (!applied.leftOut.isEmpty())
        message += tr(" Нет на этом устройстве, не загружены: %1.").arg(applied.leftOut.join(QStringLiteral(", ")));
    if (!applied.notInFile.isEmpty())
        message += tr(" Нет в файле, оставлены как были: %1.").arg(applied.notInFile.join(QStringLiteral(", ")));
    return true;
}

void TabSetup::report(const QString &message, bool failed, bool quiet)
{
    mainControl->showStatus(message, failed ? 0 : kResultStatusMs);
    if (quiet)
        return;
    if (failed)
        QMessageBox::warning(this, tr("Настройка"), message);
    else
        QMessageBox::information(this, tr("Настройка"), message);
}
