#include "ui/monitor/linkstatisticstext.h"

namespace {
constexpr double kStatsUsPerMs = 1000.0;

QString milliseconds(double ms)
{
    return QString::number(ms, 'f', 1);
}
} // namespace

QString LinkStatisticsText::title()
{
    return tr("Статистика линии с начала соединения");
}

QStringList LinkStatisticsText::lines(const LinkStatistics &s)
{
    return {
        tr("Запросов: %1").arg(s.requests),
        tr("Ответов: %1").arg(s.replies),
        tr("Нет ответа (тайм-аутов): %1").arg(s.timeouts),
        tr("Ошибок CRC: %1").arg(s.crcErrors),
        tr("Исключений: %1").arg(s.exceptions),
        tr("Ответов с другого адреса: %1").arg(s.wrongAddress),
        tr("Ошибок линии: %1").arg(s.lineErrors),
        tr("Ответов, не повторивших запрос: %1").arg(s.echoMismatches),
        tr("Отброшено байт: %1").arg(s.discardedBytes),
        tr("Пропущено эхо: %1").arg(s.echoesSkipped),
        tr("Время ответа среднее: %1 мс").arg(milliseconds(s.meanResponseMs())),
        tr("Время ответа наибольшее: %1 мс").arg(milliseconds(double(s.maxResponseUs) / kStatsUsPerMs)),
    };
}

QString LinkStatisticsText::toolTip(const LinkStatistics &s)
{
    return title() + QStringLiteral(":\n") + lines(s).join(QLatin1Char('\n'));
}
