#include "report/reporttexts.h"

#include "device/configfields.h"
#include "device/configpacketv70.h"
#include "device/crashprotocolevent.h"
#include "device/currentscale.h"
#include "device/deviceinfo.h"
#include "device/faulttext.h"
#include "device/packetfactory.h"
#include "device/watchdatapacket80.h"

#include <QDateTime>
#include <QLocale>

namespace {

constexpr int kPhases = 3;
// Before modification 50 the imbalance trip time is fixed in the device.
const char kFixedImbalanceTripTime[] = QT_TRANSLATE_NOOP("ReportTexts", "2550 мсек");
const char kShortDate[] = "dd.MM.yy hh:mm:ss";
const char kLongDate[] = "dd.MM.yyyy hh:mm:ss";

QString number(int value)
{
    return QString::number(value);
}

} // namespace

QString ReportTexts::deviceLine(const DeviceInfo &d)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QString separator = QStringLiteral(" / ");
    return tr("ОРБИКС-11 ") + QString::number(d.minRatedCurrent, 'g', 6) + QLatin1Char('-')
        + QString::number(d.maxRatedCurrent, 'g', 6) + QStringLiteral(" v")
        + QString::number(d.modification * 0.01, 'f', 2) + separator + russian.toString(d.address) + separator
        + russian.toString(d.baudRate) + separator + DeviceInfo::formatLabel(d.frameFormat) + separator
        + QStringLiteral("COM") + russian.toString(d.portNumber);
}

QVector<ReportTexts::Row> ReportTexts::settingsRows(const ConfigPacket &c, int version, int currentScale)
{
    const double rated = CurrentScale(currentScale).amperes(c.ratedCurrent());
    QVector<Row> rows = {
        {tr("Номинальный ток двигателя:"), amps(rated, currentScale) + tr("А")},
        {tr("Минимальный ток двигателя, от номинального:"), number(c.minCurrent()) + QLatin1Char('%')},
        {tr("Порог защиты от перегрузки, кратность тока:"), number(c.overloadMultiple())},
        {tr("Время реакции защиты от перегрузки:"), number(c.overloadReactionTime()) + tr(" мсек")},
        {tr("Порог отключения по перекосу токов фаз:"), number(c.imbalanceThreshold()) + QLatin1Char('%')},
        {tr("Задержка включения:"), number(c.switchOnDelay()) + tr(" сек")},
        {tr("Допустимое количество оборваных фаз:"), number(c.brokenPhasesAllowed())},
        {tr("Время отключения при двукратной перегрузке:"), number(c.doubleOverloadTime()) + tr(" сек")},
        {tr("Порог срабатывания защиты по термодатчику РТ100:"), number(c.pt100Threshold()) + tr("°С")},
    };
    const auto *v70 = dynamic_cast<const ConfigPacketV70 *>(&c);
    if (version >= PacketFactory::kModificationV70 && v70)
        rows.append({tr("Коэффициент коррекции минимально допустимого тока:"),
                     QString::number(v70->minCurrentCorrection(), 'f', 1)});
    return rows;
}

QVector<ReportTexts::Row> ReportTexts::switchRows(const ConfigPacket &c)
{
    return {
        {tr("Быстродействующая защита "), onOff(c.fastProtection())},
        {tr("Автоматическое повторное включение "), onOff(c.autoRestart())},
        {tr("Защита по термодатчику РТС "), onOff(c.ptcProtection())},
        {tr("Защита по датчику влажности "), onOff(c.humidityProtection())},
    };
}

QVector<ReportTexts::Row> ReportTexts::rightColumnRows(const ConfigPacket &c, int version)
{
    using F = ConfigFields;
    return {
        {tr("Допуск на напряжение питающих фаз:"), F::choice(F::VoltageTolerance, c.voltageTolerance())},
        {tr("Время работы двигателя в цикл. режиме:"), number(c.cyclicWorkTime()) + tr(" мин")},
        {tr("Время простоя двигателя в цикл. режиме:"), number(c.cyclicPauseTime()) + tr(" мин")},
        {tr("Функция входа 1:"), F::choice(F::Input1Function, c.input1Function())},
        {tr("Функция входа 2:"), F::choice(F::Input2Function, c.input2Function())},
        {tr("Функция силового выхода:"), F::choice(F::PowerOutputFunction, c.powerOutputFunction())},
        {tr("Функция доп. выхода:"), F::choice(F::AuxOutputFunction, c.auxOutputFunction())},
        {tr("Задержка переключения:"), number(c.switchDelay()) + tr(" сек")},
        {tr("Время срабатывания защиты от перекоса токов:"), imbalanceTripTime(c, version)},
        {tr("Выбор порога защиты по изоляции:"), insulation(c, version)},
        {tr("Дистанционное управление "), onOff(c.remoteControl())},
        {tr("Проверка последовательности фаз "), onOff(c.phaseSequenceCheck())},
        {tr("Защита по термодатчику РТ100 "), onOff(c.pt100Protection())},
        {tr("Циклическая работа по таймеру "), onOff(c.cyclicMode())},
    };
}

QString ReportTexts::imbalanceTripTime(const ConfigPacket &c, int version)
{
    const auto *v50 = dynamic_cast<const ConfigPacketV50 *>(&c);
    if (version < PacketFactory::kModificationV50 || !v50)
        return tr(kFixedImbalanceTripTime);
    return number(v50->imbalanceTripTime()) + tr(" мсек");
}

// Before modification 70 the device has only the higher threshold.
QString ReportTexts::insulation(const ConfigPacket &c, int version)
{
    const auto *v70 = dynamic_cast<const ConfigPacketV70 *>(&c);
    const bool higher = version < PacketFactory::kModificationV70 || !v70 || v70->insulationThreshold() == 1;
    return ConfigFields::choice(ConfigFields::InsulationThreshold, higher ? 1 : 0);
}

QStringList ReportTexts::stateLines(const WatchDataPacket &s, int version)
{
    QStringList lines = {
        s.faultCode() == 0 ? tr("Аварий нет") : tr("Авария: ") + faultText(s.faultCode()).toLower(),
        tr("Двигатель ") + (s.motorRunning() ? tr("работает") : tr("не работает")),
        tr("Термодатчик ") + listed({tr("обрыв"), tr("норма"), tr("перегрев"), tr("замыкание")}, s.ptcState()),
        tr("Термодатчик РТ100 ") + (s.pt100Shorted() ? tr("замыкание") : s.pt100Open() ? tr("обрыв") : tr("норма")),
        tr("Влажность ") + listed({tr("обрыв"), tr("норма"), tr("вода")}, s.humidityState()),
        tr("Наработка двигателя: ") + number(s.motorHours()) + tr("ч."),
    };
    const auto *v80 = dynamic_cast<const WatchDataPacket80 *>(&s);
    if (version >= PacketFactory::kModificationV80)
        lines.append(tr("Количество пусков двигателя: ") + QString::number(v80 ? v80->startCount() : 0));
    return lines;
}

QString ReportTexts::crashHeading(quint16 faultCode)
{
    return tr("Авария: ") + faultText(faultCode) + QStringLiteral(" (") + number(faultCode) + QLatin1Char(')');
}

QString ReportTexts::tripTimeLine(quint32 tripTime)
{
    const QDateTime time = QDateTime::fromSecsSinceEpoch(qint64(tripTime));
    return tr("Время окончания записи осциллограммы: ") + time.toString(QLatin1String(kLongDate));
}

QStringList ReportTexts::crashEntryLines(const CrashProtocolEvent &entry, int currentScale)
{
    const QString currents[kPhases] = {tr("Ток А: "), tr("Ток B: "), tr("Ток C: ")};
    const QString voltages[kPhases] = {tr("Напр. А: "), tr("Напр. B: "), tr("Напр. C: ")};
    QStringList lines;
    for (int p = 0; p < kPhases; ++p)
        lines.append(currents[p] + amps(entry.current(p), currentScale) + tr("А"));
    for (int p = 0; p < kPhases; ++p)
        lines.append(voltages[p] + number(entry.voltage(p)) + tr("В"));
    return lines;
}

QString ReportTexts::entryTime(const QDateTime &time)
{
    return time.toString(QLatin1String(kShortDate));
}

QString ReportTexts::footer(const QDateTime &reportTime)
{
    return tr("Дата формирования отчёта: ") + reportTime.toString(QStringLiteral("dd.MM.yyyy"));
}

QString ReportTexts::documentName(const QDateTime &reportTime)
{
    return tr("Отчёт от ") + reportTime.toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

QString ReportTexts::amps(double value, int currentScale)
{
    return CurrentScale(currentScale).text(value);
}

QString ReportTexts::onOff(bool on)
{
    return on ? tr("РАЗРЕШЕНО") : tr("ЗАПРЕЩЕНО");
}

QString ReportTexts::listed(const QStringList &texts, int index)
{
    return texts.value(index); // outside the list: empty
}
