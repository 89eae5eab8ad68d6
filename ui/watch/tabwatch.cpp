#include "ui/watch/tabwatch.h"

#include "device/configpacket.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"
#include "device/watchdatapacket80.h"
#include "exchange/configevent.h"
#include "exchange/deviceconnection.h"
#include "exchange/eventdispatch.h"
#include "plots/tempplot.h"
#include "plots/timescaledraw.h"
#include "plots/watchplot.h"
#include "ui/maincontrol.h"
#include "ui/plotexport.h"
#include "ui/styles.h"
#include "ui/watch/tableprotocol.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int kPanelItemHeight = 40;
// Both plots together take at least half of a 1366 x 768 laptop's tab above this.
constexpr int kPlotMinimumHeight = 110;
// The splitter's parts: the state panel (scrolling when squeezed), the plots, the
// protocol. The protocol first shows this many entries, fewer where the plots would
// get less than half of the tab; new height goes to the plots.
constexpr int kPanelIndex = 0;
constexpr int kPlotsIndex = 1;
constexpr int kProtocolIndex = 2;
constexpr int kProtocolRows = 6;
constexpr int kProtocolLeastRows = 2;
constexpr int kPanelColumns = 6;
// The panel frames every label; labels with an empty style sheet fall back to it.
const char kPanelStyle[] = "QLabel { border:1px solid #000000; } ";
const char kDeviceTimeStyle[] = "border:1px solid #000000;";
const char kStaleText[] = "color: #808080;";
const char kStaleBorder[] = "border: 1px solid #808080;";

QString stateWord(const QStringList &words, int state)
{
    return state >= 0 && state < words.size() ? words.at(state) : QString();
}

// A stale label: grey text, and each status colour faded to a greyish tint of itself,
// so that an alarm still reads as an alarm but no longer as a live one.
QString staleStyle(const QString &live)
{
    const QPair<QString, const char *> faded[] = {
        {Styles::green(), "#C8D8C8"}, {Styles::red(), "#E0C8C0"}, {Styles::yellow(), "#E0D8C0"}};
    QString sheet;
    for (const auto &f : faded)
        if (live == f.first)
            sheet = QStringLiteral("background-color: %1;").arg(QLatin1String(f.second));
    sheet += QLatin1String(kStaleText);
    if (!live.isEmpty()) // else the panel's own frame stays
        sheet += QLatin1String(kStaleBorder);
    return sheet;
}
} // namespace

TabWatch::TabWatch(MainControl *main, QWidget *parent)
    : QSplitter(Qt::Vertical, parent), mainControl(main)
{
    setObjectName(QStringLiteral("watchTab"));
    auto *upper = new QWidget;
    auto *grid = new QGridLayout(upper);
    grid->setContentsMargins(0, 0, 0, 0); // the panel's own frame is margin enough
    setupStatePanel(grid);
    setupCounters(grid);
    // On a low screen the panel scrolls rather than take the plots' height.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("watchPanel"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(upper);
    addWidget(scroll);
    addWidget(setupPlots());
    table = new TableProtocol(&mainControl->protocol(), this);
    table->setObjectName(QStringLiteral("protocolTable"));
    addWidget(table);
    handle(kPlotsIndex)->setObjectName(QStringLiteral("watchPanelHandle"));
    handle(kProtocolIndex)->setObjectName(QStringLiteral("watchSplitHandle"));
    setChildrenCollapsible(false);
    setStretchFactor(kPanelIndex, 0);
    setStretchFactor(kPlotsIndex, 1);
    setStretchFactor(kProtocolIndex, 0);
    connect(this, &QSplitter::splitterMoved, this, [this] { splitChosen = true; });
}

bool TabWatch::setSplit(const QList<int> &heights)
{
    if (heights.size() != count())
        return false;
    for (int h : heights)
        if (h <= 0)
            return false;
    splitChosen = true;
    if (shownOnce)
        setSizes(heights);
    else
        firstSplit = heights;
    return true;
}

QList<int> TabWatch::split() const
{
    return shownOnce ? sizes() : firstSplit;
}

void TabWatch::showEvent(QShowEvent *event)
{
    // Heights mean something only against the tab's own height, known once it is
    // shown: a split given before is applied now, else the first split.
    if (!shownOnce) {
        shownOnce = true;
        if (firstSplit.isEmpty())
            firstSplit = defaultSplit();
        setSizes(firstSplit);
    }
    QSplitter::showEvent(event);
}

void TabWatch::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    // Until the user splits the tab, it is split for the height it has now (a window
    // is often shown before it is maximised), not shrunk from the first one.
    if (shownOnce && !splitChosen)
        setSizes(defaultSplit());
}

// The whole panel; the plots at least half of the tab; the protocol its rows, or
// fewer down to a least few; more height to the plots.
QList<int> TabWatch::defaultSplit() const
{
    const int rowHeight = table->verticalHeader()->defaultSectionSize();
    const int frame = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    const int free = height() - 2 * handleWidth();
    const int panel = widget(kPanelIndex)->sizeHint().height();
    const int between = widget(kPlotsIndex)->layout()->spacing();
    const int plots = qMax(free - panel - frame - kProtocolRows * rowHeight, (height() + 1) / 2 + between);
    const int protocol = qMax(frame + kProtocolLeastRows * rowHeight, free - panel - plots);
    return {qMax(1, free - plots - protocol), plots, protocol};
}

void TabWatch::setupStatePanel(QGridLayout *upper)
{
    auto *panel = new QWidget;
    panel->setStyleSheet(QLatin1String(kPanelStyle));
    auto *grid = new QGridLayout(panel);
    alarmLabel = panelLabel(QString(), panel);
    pt100Label = panelLabel(QString(), panel);
    ptcLabel = panelLabel(QString(), panel);
    motorLabel = panelLabel(QString(), panel);
    alarmLabel->setWordWrap(true);
    pt100Label->setWordWrap(true);
    // Three rows across the tab rather than six down it: the states on the left, the
    // inputs, outputs and commands on the right, so that the plots keep their height.
    grid->addWidget(alarmLabel, 0, 0, 1, 3);
    grid->addWidget(pt100Label, 1, 0, 1, 3);
    grid->addWidget(ptcLabel, 2, 0, 1, 2);
    grid->addWidget(motorLabel, 2, 2);
    forwardButton = panelButton(tr("Вперёд"), panel);
    backwardButton = panelButton(tr("Назад"), panel);
    stopButton = panelButton(tr("Стоп"), panel);
    grid->addWidget(forwardButton, 2, 3);
    grid->addWidget(backwardButton, 2, 4);
    grid->addWidget(stopButton, 2, 5);
    for (QPushButton *b : {forwardButton, backwardButton, stopButton})
        connect(b, &QPushButton::clicked, this, &TabWatch::onBtnEngineCommandClicked);
    setupOutputsGrid(grid);
    for (int column = 0; column < kPanelColumns; ++column)
        grid->setColumnStretch(column, 1);
    nameStateWidgets();
    upper->addWidget(panel, 0, 0);
    upper->setColumnStretch(0, 1);
}

// Names let the window's end-to-end tests find the panel's parts.
void TabWatch::nameStateWidgets()
{
    const std::pair<QWidget *, const char *> names[] = {
        {alarmLabel, "alarmLabel"}, {pt100Label, "pt100Label"}, {ptcLabel, "ptcLabel"},
        {motorLabel, "motorLabel"}, {input1Label, "input1Label"}, {input2Label, "input2Label"},
        {powerOutLabel, "powerOutLabel"}, {auxOutLabel, "auxOutLabel"}, {forwardButton, "forwardButton"},
        {backwardButton, "backwardButton"}, {stopButton, "stopButton"}, {auxOutButton, "auxOutButton"}};
    for (const auto &n : names)
        n.first->setObjectName(QLatin1String(n.second));
}

void TabWatch::setupOutputsGrid(QGridLayout *panel)
{
    QWidget *owner = panel->parentWidget();
    auto *grid = new QGridLayout;
    input1Label = panelLabel(tr("ВХОД 1"), owner);
    powerOutLabel = panelLabel(tr("СИЛОВОЙ ВЫХОД"), owner);
    input2Label = panelLabel(tr("ВХОД 2"), owner);
    auxOutLabel = panelLabel(tr("ДОП. ВЫХОД"), owner);
    auxOutButton = panelButton(tr("Доп. выход\nвыкл."), owner);
    grid->addWidget(input1Label, 0, 0);
    grid->addWidget(powerOutLabel, 0, 1, 1, 2);
    grid->addWidget(input2Label, 1, 0);
    grid->addWidget(auxOutLabel, 1, 1);
    grid->addWidget(auxOutButton, 1, 2);
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    connect(auxOutButton, &QPushButton::clicked, this, &TabWatch::onBtnAppendOutClicked);
    panel->addLayout(grid, 0, 3, 2, 3);
}

void TabWatch::setupCounters(QGridLayout *upper)
{
    auto *grid = new QGridLayout;
    hoursLabel = new QLabel(tr("Наработка двигателя:"));
    hoursLabel->setObjectName(QStringLiteral("hoursLabel"));
    startsLabel = new QLabel(tr("Количество пусков двигателя: 0"));
    startsLabel->setObjectName(QStringLiteral("startsLabel"));
    deviceTimeLabel = new QLabel(tr("Время ОРБИКС"));
    deviceTimeLabel->setObjectName(QStringLiteral("deviceTimeLabel"));
    deviceTimeLabel->setAlignment(Qt::AlignCenter);
    deviceTimeLabel->setFixedHeight(kPanelItemHeight);
    setLabelStyle(deviceTimeLabel, QLatin1String(kDeviceTimeStyle));
    setLabelStyle(hoursLabel, QString());
    setLabelStyle(startsLabel, QString());
    linkLostLabel = new QLabel;
    linkLostLabel->setObjectName(QStringLiteral("linkLostLabel"));
    linkLostLabel->setAlignment(Qt::AlignCenter);
    linkLostLabel->setFixedHeight(kPanelItemHeight);
    linkLostLabel->setStyleSheet(Styles::red());
    linkLostLabel->hide();
    grid->addWidget(hoursLabel, 0, 0);
    grid->addWidget(startsLabel, 1, 0);
    grid->addWidget(deviceTimeLabel, 2, 0);
    grid->addWidget(linkLostLabel, 3, 0);
    grid->setRowStretch(4, 1);
    upper->addLayout(grid, 0, 1);
    // A panel given more height than it needs keeps to the top.
    upper->setRowStretch(1, 1);
}

QWidget *TabWatch::setupPlots()
{
    auto *plots = new QWidget(this);
    auto *box = new QVBoxLayout(plots);
    box->setContentsMargins(0, 0, 0, 0);
    livePlot = new WatchPlot;
    livePlot->setObjectName(QStringLiteral("watchPlot"));
    temperaturePlot = new TempPlot;
    temperaturePlot->setObjectName(QStringLiteral("tempPlot"));
    livePlot->setMinimumHeight(kPlotMinimumHeight);
    temperaturePlot->setMinimumHeight(kPlotMinimumHeight);
    // The data files name each sample's local date and time, not seconds since 1970.
    PlotExport::addContextMenu(livePlot, &TimeScaleDraw::dateAndTime);
    PlotExport::addContextMenu(temperaturePlot, &TimeScaleDraw::dateAndTime);
    box->addWidget(livePlot);
    box->addWidget(temperaturePlot);
    return plots;
}

QLabel *TabWatch::panelLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedHeight(kPanelItemHeight);
    return label;
}

QPushButton *TabWatch::panelButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedHeight(kPanelItemHeight);
    button->setEnabled(false); // until the configuration allows it
    return button;
}

void TabWatch::onDataEvent(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const DataEventGet &e) {
            lastReading = QDateTime::currentDateTime();
            showStale(false);
            showState(*e.packet());
        },
        [this](const DataEventError &e) {
            if (e.error() == DataEventError::LinkLost)
                showStale(true);
        },
        [this](const ConfigEvent &e) { onConfiguration(*e.packet()); },
        [this](const DataEvent &e) {
            if (e.type() == DataEvent::Connected)
                onConnected();
            else if (e.type() == DataEvent::Disconnected)
                showStale(true);
            else if (e.type() == DataEvent::GetProtocol)
                protocolChanged();
        }});
}

void TabWatch::protocolChanged()
{
    table->refresh();
}

void TabWatch::setPlotInterval(int seconds)
{
    livePlot->setInterval(seconds);
    temperaturePlot->setInterval(seconds);
}

void TabWatch::onConnected()
{
    livePlot->setCurrentScale(ampereScale());
    livePlot->restart();
    keepOrClearTemperatures(mainControl->currentDevice());
    startsLabel->setVisible(deviceVersion() >= PacketFactory::kModificationV80);
}

// The temperature plot runs on across a reconnection to the same device, as the
// connection's own temperatures do; another device's must not continue its curve.
void TabWatch::keepOrClearTemperatures(const DeviceInfo *device)
{
    if (!device || !plottedDevice || !DeviceConnection::sameDevice(*plottedDevice, *device))
        temperaturePlot->restart();
    plottedDevice = device ? std::optional<DeviceInfo>(*device) : std::nullopt;
}

void TabWatch::showStale(bool on)
{
    if (on == stale)
        return;
    stale = on;
    for (auto it = liveStyles.cbegin(); it != liveStyles.cend(); ++it)
        it.key()->setStyleSheet(stale ? staleStyle(it.value()) : it.value());
    const QString time = lastReading.isValid() ? lastReading.toString(QStringLiteral("hh:mm:ss")) : QString();
    linkLostLabel->setText(time.isEmpty() ? tr("Нет связи") : tr("Нет связи с %1").arg(time));
    linkLostLabel->setVisible(stale);
    for (auto it = commandsAllowed.cbegin(); it != commandsAllowed.cend(); ++it)
        it.key()->setEnabled(it.value() && !stale);
}

// A command given while the link is down would be carried out whenever the link comes
// back: the buttons are greyed meanwhile, and allowed again as the device's state says.
void TabWatch::allowCommand(QPushButton *button, bool allowed)
{
    commandsAllowed.insert(button, allowed);
    button->setEnabled(allowed && !stale);
}

void TabWatch::setLabelStyle(QLabel *label, const QString &style)
{
    liveStyles.insert(label, style);
    label->setStyleSheet(stale ? staleStyle(style) : style);
}

void TabWatch::onConfiguration(const ConfigPacket &config)
{
    input1Function = config.input1Function();
    input2Function = config.input2Function();
    humidityProtection = config.humidityProtection();
    remoteControl = config.remoteControl();
    ptcProtection = config.ptcProtection();
    pt100Protection = config.pt100Protection();
    allowCommand(forwardButton, remoteControl);
    allowCommand(backwardButton, remoteControl && config.powerOutputFunction() == ConfigFields::PowerForward);
    allowCommand(auxOutButton, config.auxOutputFunction() == ConfigFields::AuxRemote);
}

void TabWatch::showState(const WatchDataPacket &packet)
{
    showAlarm(packet);
    showInputs(packet);
    showOutputs(packet);
    showSensors(packet);
    addPlotSamples(packet);
    showCounters(packet);
    showControls(packet);
}

void TabWatch::showAlarm(const WatchDataPacket &packet)
{
    alarmLabel->setText(packet.alarmText());
    setLabelStyle(alarmLabel, packet.faultCode() == 0 ? Styles::green() : Styles::red());
}

void TabWatch::showInputs(const WatchDataPacket &packet)
{
    if (packet.inputActive(0))
        setLabelStyle(input1Label, input1Function == ConfigFields::Input1ExternalAlarm ? Styles::red() : Styles::yellow());
    else
        setLabelStyle(input1Label, QString());
    showInput2(packet);
}

void TabWatch::showInput2(const WatchDataPacket &packet)
{
    const bool active = packet.inputActive(1);
    if (input2Function == ConfigFields::Input2Humidity) {
        const QStringList words = {tr("ОБРЫВ"), tr("НОРМА"), tr("ВОДА")};
        input2Label->setText(tr("ВЛАЖНОСТЬ\n") + stateWord(words, packet.humidityState()));
        setLabelStyle(input2Label, !humidityProtection ? QString() : active ? Styles::green() : Styles::red());
        return;
    }
    input2Label->setText(tr("ВХОД 2"));
    if (active)
        setLabelStyle(input2Label, input2Function == ConfigFields::Input2ExternalAlarm ? Styles::red() : Styles::yellow());
    else
        setLabelStyle(input2Label, QString());
}

void TabWatch::showOutputs(const WatchDataPacket &packet)
{
    const bool power = packet.outputState(WatchDataPacket::PowerOutput);
    powerOutLabel->setText(tr("СИЛОВОЙ ВЫХОД - ") + (power ? QLatin1String("1") : QLatin1String("0")));
    setLabelStyle(powerOutLabel, power ? Styles::yellow() : QString());
    const bool aux = packet.outputState(WatchDataPacket::AuxOutput);
    setLabelStyle(auxOutLabel, aux ? Styles::yellow() : QString());
    auxOutLabel->setText(tr("Доп. выход"));
    const bool running = packet.motorRunning();
    motorLabel->setText(tr("ДВИГАТЕЛЬ\n") + (running ? tr("РАБОТАЕТ") : tr("НЕ РАБОТАЕТ")));
    setLabelStyle(motorLabel, running ? Styles::yellow() : Styles::plain());
}

void TabWatch::showSensors(const WatchDataPacket &packet)
{
    const int ptc = packet.ptcState();
    const QStringList words = {tr("ОБРЫВ"), tr("НОРМА"), tr("ПЕРЕГРЕВ"), tr("ЗАМЫКАНИЕ")};
    ptcLabel->setText(tr("ТЕРМОДАТЧИК РТС\n") + stateWord(words, ptc));
    const bool known = ptc >= 0 && ptc < words.size();
    setLabelStyle(ptcLabel, !ptcProtection || !known ? QString() : ptc == 1 ? Styles::green() : Styles::red());
    const bool faulty = packet.pt100Shorted() || packet.pt100Open();
    const QString state = packet.pt100Shorted() ? tr("ЗАМЫКАНИЕ") : packet.pt100Open() ? tr("ОБРЫВ") : tr("НОРМА");
    pt100Label->setText(tr("ТЕРМОДАТЧИК РТ100\n") + state);
    setLabelStyle(pt100Label, !pt100Protection ? QString() : faulty ? Styles::red() : Styles::green());
}

void TabWatch::addPlotSamples(const WatchDataPacket &packet)
{
    temperaturePlot->addSample(packet.pt100Temperature(), packet.calculatedHeating());
    const CurrentScale scale = ampereScale();
    double currents[WatchPlot::kPhases];
    double voltages[WatchPlot::kPhases];
    for (int phase = 0; phase < WatchPlot::kPhases; ++phase) {
        currents[phase] = packet.phaseCurrentAmperes(phase, scale);
        voltages[phase] = packet.phaseVoltage(phase);
    }
    livePlot->addSample(currents, voltages);
}

void TabWatch::showCounters(const WatchDataPacket &packet)
{
    hoursLabel->setText(tr("Наработка двигателя: ") + QString::number(packet.motorHours()) + tr("ч."));
    const QDateTime time = QDateTime::fromTime_t(packet.deviceTime());
    deviceTimeLabel->setText(time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

void TabWatch::showControls(const WatchDataPacket &packet)
{
    const bool aux = packet.outputState(WatchDataPacket::AuxOutput);
    auxOutButton->setText(tr("Доп. выход\n") + (aux ? tr("выкл") : tr("вкл")));
    allowCommand(stopButton, remoteControl && packet.outputState(WatchDataPacket::StopPermitted));
    const auto *counted = dynamic_cast<const WatchDataPacket80 *>(&packet);
    if (counted && deviceVersion() >= PacketFactory::kModificationV80)
        startsLabel->setText(tr("Количества пусков двигателя: ") + QString::number(counted->startCount()));
}

int TabWatch::deviceVersion() const
{
    const DeviceInfo *device = mainControl->currentDevice();
    return device ? device->modification : 0;
}

CurrentScale TabWatch::ampereScale() const
{
    const DeviceInfo *device = mainControl->currentDevice();
    return CurrentScale(device ? device->currentScale : 0);
}

void TabWatch::onBtnEngineCommandClicked()
{
    const QObject *button = sender();
    if (button == stopButton)
        mainControl->requestEngineCommand(EngineCommand::Stop);
    else if (button == forwardButton)
        mainControl->requestEngineCommand(EngineCommand::Forward);
    else if (button == backwardButton)
        mainControl->requestEngineCommand(EngineCommand::Backward);
}

void TabWatch::onBtnAppendOutClicked()
{
    mainControl->requestToggleOutput();
}
