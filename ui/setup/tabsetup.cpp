#include "ui/setup/tabsetup.h"

#include "device/configpacket.h"
#include "device/configrules.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"
#include "device/watchdatapacket.h"
#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/deviceconnection.h"
#include "exchange/eventdispatch.h"
#include "storage/settingsfile.h"
#include "ui/maincontrol.h"
#include "ui/setup/idleplotdialog.h"
#include "ui/setup/timedialog.h"

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
// Between the rows of settings: two-line labels leave room enough.
constexpr int kRowSpacing = 2;
const char kTensDigit[] = "0"; // the tens-of-ms editors hold tens: 50 reads "500 мсек"
enum CommandButton { ReadButton, WriteButton, TimeButton, CrashButton, WorkButton, HoursButton };

// The order in which a block fills the editors (their change signals fire in it).
const F::Id kFillOrder[] = {
    F::RatedCurrent, F::MinCurrent, F::OverloadMultiple, F::OverloadReactionTime, F::ImbalanceThreshold,
    F::SwitchOnDelay, F::BrokenPhasesAllowed, F::DoubleOverloadTime, F::Pt100Threshold, F::FastProtection,
    F::AutoRestart, F::PtcProtection, F::HumidityProtection, F::VoltageTolerance, F::CyclicWorkTime,
    F::CyclicPauseTime, F::Input1Function, F::Input2Function, F::PowerOutputFunction, F::AuxOutputFunction,
    F::SwitchDelay, F::RemoteControl, F::PhaseSequenceCheck, F::Pt100Protection, F::CyclicMode,
    F::ImbalanceTripTime, F::MinCurrentCorrection, F::InsulationThreshold};

QString joined(const QStringList &parts)
{
    QStringList present = parts;
    present.removeAll(QString());
    return present.join(QLatin1Char('\n'));
}

} // namespace

TabSetup::TabSetup(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
    setObjectName(QStringLiteral("setupTab"));
    auto *content = new QWidget;
    auto *columns = new QHBoxLayout(content);
    auto *left = new QGridLayout;
    auto *right = new QGridLayout;
    setupEditors(left, right);
    // The buttons under the shorter right column rather than under both: seventeen
    // rows and the buttons below them would not fit the height a laptop leaves the tab.
    auto *rightColumn = new QVBoxLayout;
    rightColumn->addLayout(right);
    rightColumn->addWidget(buttonGrid());
    rightColumn->addStretch(1); // more height goes below the buttons, not between
    columns->addLayout(left);
    columns->addLayout(rightColumn);
    // On a lower screen still, the tab scrolls.
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
    const F::Id leftRows[] = {
        F::RatedCurrent, F::DoubleOverloadTime, F::OverloadMultiple, F::OverloadReactionTime, F::FastProtection,
        F::ImbalanceThreshold, F::ImbalanceTripTime, F::BrokenPhasesAllowed, F::MinCurrent, F::MinCurrentCorrection,
        F::VoltageTolerance, F::PhaseSequenceCheck, F::InsulationThreshold, F::PtcProtection, F::Pt100Protection,
        F::Pt100Threshold, F::HumidityProtection};
    const F::Id rightRows[] = {
        F::AutoRestart, F::PowerOutputFunction, F::AuxOutputFunction, F::SwitchDelay, F::SwitchOnDelay,
        F::CyclicMode, F::CyclicWorkTime, F::CyclicPauseTime, F::Input1Function, F::Input2Function,
        F::RemoteControl};
    for (F::Id id : leftRows)
        addRow(left, id);
    for (F::Id id : rightRows)
        addRow(right, id);
    for (QGridLayout *grid : {left, right}) {
        grid->setVerticalSpacing(kRowSpacing);
        grid->setRowStretch(grid->rowCount(), 1);
        grid->setColumnStretch(0, 1);
    }
    static_cast<QComboBox *>(editors[F::InsulationThreshold])->setCurrentIndex(1);
}

QWidget *TabSetup::addRow(QGridLayout *grid, F::Id id)
{
    const int at = grid->rowCount();
    auto *text = new QLabel(F::label(id));
    text->setObjectName(F::name(id) + QStringLiteral("Label"));
    text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text->setWordWrap(true); // the longest labels take two lines on a laptop screen
    labels[id] = text;
    QWidget *edit = makeEditor(id);
    editors[id] = edit;
    grid->addWidget(text, at, 0);
    if (id != F::MinCurrentCorrection) {
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

QWidget *TabSetup::makeEditor(F::Id id)
{
    QWidget *edit = nullptr;
    const F::Range r = F::range(id, DeviceInfo());
    const F::Kind kind = F::kind(id);
    if (kind == F::Kind::Flag) {
        auto *check = new QCheckBox;
        check->setLayoutDirection(Qt::RightToLeft);
        edit = check;
    } else if (kind == F::Kind::Choice) {
        auto *combo = new QComboBox;
        combo->addItems(F::choices(id));
        edit = combo;
    } else if (kind == F::Kind::Amps || kind == F::Kind::Tenths) {
        auto *spin = new QDoubleSpinBox;
        spin->setSuffix(F::unit(id));
        if (kind == F::Kind::Tenths) {
            spin->setDecimals(1);
            spin->setSingleStep(F::toEditor(id, 1, 0));
            spin->setRange(F::toEditor(id, r.low, 0), F::toEditor(id, r.high, 0));
            spin->setValue(0.0);
        }
        edit = spin;
    } else {
        auto *spin = new QSpinBox;
        spin->setSuffix((kind == F::Kind::Tens ? QLatin1String(kTensDigit) : QString()) + F::unit(id));
        spin->setRange(int(F::toEditor(id, r.low, 0)), int(F::toEditor(id, r.high, 0)));
        edit = spin;
    }
    edit->setObjectName(F::name(id) + QStringLiteral("Edit"));
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
    grid->setContentsMargins(0, 0, 0, 0);
    constexpr int kColumns = 2;
    for (int i = 0; i < kCommandCount; ++i)
        grid->addWidget(commandButtons[i], i / kColumns, i % kColumns);
    const int files = (kCommandCount + kColumns - 1) / kColumns;
    grid->addWidget(button(tr("Сохранить в файл..."), "saveSettingsButton", &TabSetup::onBtnSaveFileClicked), files, 0);
    grid->addWidget(button(tr("Загрузить из файла..."), "loadSettingsButton", &TabSetup::onBtnLoadFileClicked), files, 1);
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
    EventDispatch::visit(*event, EventHandlers {
        [this](const ConfigEvent &e) {
            if (const ConfigPacket *block = e.packet())
                onConfiguration(*block, e.result());
            setCommandsEnabled(true);
        },
        [this](const ChangeAutoConfigState &e) {
            if (e.newState() == kAutoSetupDone)
                onBtnReadConfigClicked();
        },
        [this](const DataEvent &e) {
            if (e.type() == DataEvent::Connected)
                onConnected();
            else if (e.type() >= DataEvent::ClockSet && e.type() <= DataEvent::WorkTimeNotReset)
                setCommandsEnabled(true);
        }});
}

void TabSetup::onConnected()
{
    const DeviceInfo *device = mainControl->currentDevice();
    deviceModification = device ? device->modification : 0;
    const int modification = deviceModification;
    auto *rated = static_cast<QDoubleSpinBox *>(editors[F::RatedCurrent]);
    if (device) {
        rated->setDecimals(F::ampsDecimals(device->currentScale));
        rated->setRange(device->minRatedCurrent, device->maxRatedCurrent);
    }
    editors[F::ImbalanceTripTime]->setEnabled(modification >= PacketFactory::kModificationV50);
    editors[F::MinCurrentCorrection]->setEnabled(modification >= PacketFactory::kModificationV70);
    editors[F::InsulationThreshold]->setEnabled(modification >= PacketFactory::kModificationV70);
    static_cast<QSpinBox *>(editors[F::ImbalanceTripTime])->setValue(kImbalanceTripInitial);
    keepEdits = false; // nothing read from this device yet: the connection has none of its blocks
    updateDifferenceMarks();
}

// After a failed write the editors keep what the user typed, marked against what the
// device holds (the thread's re-read included), so that a retry needs no retyping; a
// read the user asks for, or a write that succeeds, fills them again.
void TabSetup::onConfiguration(const ConfigPacket &block, int result)
{
    if (result == ConfigEvent::NotWritten)
        keepEdits = true;
    else if (result == ConfigEvent::Written)
        keepEdits = false;
    if (!keepEdits)
        fillFrom(block);
    updateDifferenceMarks();
}

void TabSetup::fillFrom(const ConfigPacket &block)
{
    const int modification = deviceModification;
    for (F::Id id : kFillOrder)
        if (F::present(id, modification) && F::present(id, block.version()))
            setEditorWord(id, F::value(block, id));
}

std::unique_ptr<ConfigPacket> TabSetup::buildConfiguration() const
{
    std::unique_ptr<ConfigPacket> block = PacketFactory::configuration(deviceModification);
    for (F::Id id : F::fieldsOf(block->version()))
        F::setValue(*block, id, editorWord(id));
    return block;
}

int TabSetup::currentScale() const
{
    const DeviceInfo *device = mainControl->currentDevice();
    return device ? device->currentScale : 0;
}

// What a write sends for the editor's value.
int TabSetup::editorWord(F::Id id) const
{
    QWidget *edit = editors[id];
    switch (F::kind(id)) {
    case F::Kind::Flag: return static_cast<QCheckBox *>(edit)->isChecked() ? 1 : 0;
    case F::Kind::Choice: {
        // The entry past the list carries the device's own word.
        const auto *combo = static_cast<QComboBox *>(edit);
        const QVariant unlisted = combo->currentData();
        return unlisted.isValid() ? unlisted.toInt() : combo->currentIndex();
    }
    case F::Kind::Amps:
    case F::Kind::Tenths: return F::fromEditor(id, static_cast<QDoubleSpinBox *>(edit)->value(), currentScale());
    case F::Kind::Tens:
    case F::Kind::Number: break;
    }
    return F::fromEditor(id, static_cast<QSpinBox *>(edit)->value(), currentScale());
}

// Spin boxes clamp what they are given; a choice list shows a word it has no entry for
// as it is, and a write sends it back unchanged unless the user picks an entry.
void TabSetup::setEditorWord(F::Id id, int word)
{
    QWidget *edit = editors[id];
    const double shown = F::toEditor(id, word, currentScale());
    switch (F::kind(id)) {
    case F::Kind::Flag: static_cast<QCheckBox *>(edit)->setChecked(shown != 0.0); return;
    case F::Kind::Choice: setChoiceWord(id, word); return;
    case F::Kind::Amps:
    case F::Kind::Tenths: static_cast<QDoubleSpinBox *>(edit)->setValue(shown); return;
    case F::Kind::Tens:
    case F::Kind::Number: static_cast<QSpinBox *>(edit)->setValue(int(shown)); return;
    }
}

void TabSetup::setChoiceWord(F::Id id, int word)
{
    auto *combo = static_cast<QComboBox *>(editors[id]);
    const int listed = F::choices(id).size();
    if (word >= 0 && word < listed) {
        combo->setCurrentIndex(word);
        while (combo->count() > listed) // not current: no change signal
            combo->removeItem(listed);
        return;
    }
    if (combo->count() == listed)
        combo->addItem(QString());
    combo->setItemText(listed, F::shown(id, word, currentScale(), locale()));
    combo->setItemData(listed, word);
    combo->setCurrentIndex(listed);
}

void TabSetup::onSetupChanged()
{
    for (F::Id id : ConfigRules::checkedFields()) {
        editors[id]->setStyleSheet(QString());
        ruleTips[id].clear();
    }
    const QVector<ConfigRules::Violation> violations =
        ConfigRules::check(ConfigRules::Settings::from([this](F::Id id) { return editorWord(id); }));
    for (const ConfigRules::Violation &v : violations)
        for (F::Id id : v.marked)
            editors[id]->setStyleSheet(QLatin1String(F::kind(id) == F::Kind::Choice ? kComboMark : kCheckMark));
    // Why it is red: the rules each field breaks, and all of them on the write.
    for (F::Id id : ConfigRules::checkedFields()) {
        ruleTips[id] = ConfigRules::sentences(violations, id).join(QLatin1Char('\n'));
        applyToolTip(id);
    }
    writeButton->setToolTip(ConfigRules::sentences(violations).join(QLatin1Char('\n')));
    // While a request is out the write stays disabled: a second block would be dropped.
    writeButton->setEnabled(violations.isEmpty() && commandButtons[ReadButton]->isEnabled());
}

void TabSetup::applyToolTip(F::Id id)
{
    const QString tip = joined({ruleTips[id], differenceTips[id]});
    labels[id]->setToolTip(tip);
    editors[id]->setToolTip(tip);
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
    keepEdits = false; // the user asks for what the device holds
    mainControl->requestReadConfig();
    setCommandsEnabled(false);
}

void TabSetup::onBtnWriteConfigClicked()
{
    if (!passesGate())
        return;
    // A write that is not handed over (no backup, no connection) leaves the buttons as they were.
    if (mainControl->requestWriteConfig(buildConfiguration()))
        setCommandsEnabled(false);
}

void TabSetup::onBtnWriteTimeClicked()
{
    if (!passesGate())
        return;
    TimeDialog dialog(deviceTime(), this);
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

quint32 TabSetup::deviceTime() const
{
    const WatchDataPacket *block = mainControl->connection().monitoring();
    return block ? block->deviceTime() : 0;
}

const ConfigPacket *TabSetup::deviceBlock() const
{
    return mainControl->connection().configuration();
}

bool TabSetup::differsFromDevice(F::Id id) const
{
    const ConfigPacket *held = deviceBlock();
    return held && F::present(id, held->version()) && F::present(id, deviceModification)
        && editorWord(id) != F::value(*held, id);
}

void TabSetup::updateDifferenceMarks()
{
    for (int i = 0; i < F::Count; ++i) {
        const auto id = F::Id(i);
        const bool differs = differsFromDevice(id);
        differenceTips[id].clear();
        if (differs)
            differenceTips[id] =
                tr("На устройстве: %1").arg(F::shown(id, F::value(*deviceBlock(), id), currentScale(), locale()));
        labels[id]->setStyleSheet(differs ? QLatin1String(kDifferenceMark) : QString());
        applyToolTip(id);
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
