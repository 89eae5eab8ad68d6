#include "ui/monitor/framedecoder.h"

#include "link/rtuframing.h"

#include <QStringList>

namespace {
using Rtu = RtuFraming;

bool has(const FrameRecord &f, int offset, int size)
{
    return offset >= 0 && offset + size <= f.bytes.size();
}

int byteAt(const FrameRecord &f, int offset)
{
    return quint8(f.bytes[offset]);
}

quint16 wordAt(const FrameRecord &f, int offset)
{
    return quint16(byteAt(f, offset) << 8 | byteAt(f, offset + 1));
}

bool isMasked(const FrameRecord &f, int offset)
{
    for (int i = offset; i < offset + 2; ++i)
        if (i < f.masked.size() && f.masked[i])
            return true;
    return false;
}

QString valueAt(const FrameRecord &f, int offset)
{
    return isMasked(f, offset) ? FrameDecoder::kMaskedValue : QString::number(wordAt(f, offset));
}

QString valuesFrom(const FrameRecord &f, int offset, int count)
{
    QStringList out;
    for (int i = 0; i < count && has(f, offset + 2 * i, 2); ++i)
        out << valueAt(f, offset + 2 * i);
    return out.join(QStringLiteral(", "));
}

// Registers are named by number counted from 1, as everywhere in the program.
QString registerAt(const FrameRecord &f, int offset)
{
    return FrameDecoder::tr("рег. %1").arg(int(wordAt(f, offset)) + 1);
}

void setHeader(TrafficRow &row, const FrameRecord &f, int start)
{
    row.address = byteAt(f, start);
    row.function = byteAt(f, start + 1) & ~Rtu::kExceptionBit;
}

QString describeRequest(const FrameRecord &r)
{
    if (!has(r, 0, Rtu::kValueOffset + 2))
        return QString();
    const QString reg = registerAt(r, Rtu::kRegisterOffset);
    switch (byteAt(r, 1)) {
    case Rtu::kFunctionReadHolding: return FrameDecoder::tr("%1, кол-во %2").arg(reg).arg(wordAt(r, Rtu::kCountOffset));
    case Rtu::kFunctionWriteSingle: return QString(reg + QStringLiteral(" = ") + valueAt(r, Rtu::kValueOffset));
    case Rtu::kFunctionWriteMultiple:
        return QString(reg + QStringLiteral(": ") + valuesFrom(r, Rtu::kWriteValuesOffset, wordAt(r, Rtu::kCountOffset)));
    default: return QString();
    }
}

// A sound reply from start on (after an echo of the request), read against the request.
QString describeReply(const FrameRecord &reply, int start, const FrameRecord &request)
{
    if (!has(request, 0, Rtu::kValueOffset + 2) || !has(reply, start, Rtu::kHeaderSize))
        return QString();
    switch (byteAt(request, 1)) {
    case Rtu::kFunctionReadHolding:
        return QString(registerAt(request, Rtu::kRegisterOffset) + QStringLiteral(": ")
                       + valuesFrom(reply, start + Rtu::kReadValuesOffset, wordAt(request, Rtu::kCountOffset)));
    case Rtu::kFunctionWriteSingle:
    case Rtu::kFunctionWriteMultiple: {
        FrameRecord echo;
        echo.bytes = reply.bytes.mid(start);
        echo.masked = reply.masked.mid(start);
        if (!has(echo, 0, Rtu::kValueOffset + 2))
            return QString();
        const QString reg = registerAt(echo, Rtu::kRegisterOffset);
        if (byteAt(request, 1) == Rtu::kFunctionWriteSingle)
            return QString(reg + QStringLiteral(" = ") + valueAt(echo, Rtu::kValueOffset));
        return FrameDecoder::tr("%1, кол-во %2").arg(reg).arg(wordAt(echo, Rtu::kCountOffset));
    }
    default:
        return QString();
    }
}
} // namespace

const QString FrameDecoder::kMaskedValue = QStringLiteral("****");

TrafficRow FrameDecoder::decode(const FrameRecord &record)
{
    switch (record.direction) {
    case FrameRecord::Sent: return sent(record);
    case FrameRecord::Received: return received(record);
    case FrameRecord::Discarded: return discarded(record);
    }
    return TrafficRow();
}

TrafficRow FrameDecoder::sent(const FrameRecord &record)
{
    request = record;
    TrafficRow row;
    row.timeMs = record.timeMs;
    row.direction = FrameRecord::Sent;
    row.kind = TrafficRow::Request;
    if (has(record, 0, Rtu::kHeaderSize))
        setHeader(row, record, 0);
    row.content = describeRequest(record);
    row.hex = record.hex();
    return row;
}

TrafficRow FrameDecoder::received(const FrameRecord &record) const
{
    using F = RtuFraming::Failure;
    // The adapter's copy of the request stays in the bytes: the reply follows it.
    const int start = record.echoSkipped && record.bytes.size() >= request.bytes.size() ? request.bytes.size() : 0;
    TrafficRow row;
    row.timeMs = record.timeMs;
    row.direction = FrameRecord::Received;
    row.kind = kindOf(record.failure);
    row.echoSkipped = record.echoSkipped;
    // Without a reply the row names the slave and function that were asked.
    if (has(record, start, Rtu::kHeaderSize))
        setHeader(row, record, start);
    else if (has(request, 0, Rtu::kHeaderSize))
        setHeader(row, request, 0);
    row.content = F(record.failure) == F::None ? describeReply(record, start, request) : describeRequest(request);
    row.result = resultText(record.failure, record.exception);
    if (record.echoSkipped)
        row.result += tr("; эхо адаптера пропущено");
    row.responseUs = record.responseUs;
    row.hex = record.hex();
    return row;
}

TrafficRow FrameDecoder::discarded(const FrameRecord &record)
{
    TrafficRow row;
    row.timeMs = record.timeMs;
    row.direction = FrameRecord::Discarded;
    row.kind = TrafficRow::Discarded;
    // A flood keeps only its newest bytes (shown): the count is of all it dropped.
    row.content = tr("%1 байт до запроса").arg(qMax(record.droppedBytes, quint64(record.bytes.size())));
    row.result = tr("Отброшенные байты");
    row.hex = record.hex();
    return row;
}

TrafficRow::Kind FrameDecoder::kindOf(int failure)
{
    using F = RtuFraming::Failure;
    switch (F(failure)) {
    case F::None: return TrafficRow::Reply;
    case F::Exception: return TrafficRow::Exception;
    case F::NoAnswer: return TrafficRow::Timeout;
    case F::CrcError: case F::ShortReply: return TrafficRow::CrcError;
    case F::WrongAddress: return TrafficRow::WrongAddress;
    case F::LineError: return TrafficRow::LineError;
    default: return TrafficRow::OtherFailure;
    }
}

QString FrameDecoder::resultText(int failure, int exception)
{
    using F = RtuFraming::Failure;
    switch (F(failure)) {
    case F::None: return tr("Норма");
    case F::Exception: return exceptionText(exception);
    case F::NoAnswer: return tr("Нет ответа (тайм-аут)");
    case F::CrcError: return tr("Ошибка CRC");
    case F::ShortReply: return tr("Ошибка CRC: ответ неполный");
    case F::WrongAddress: return tr("Ответ с другого адреса");
    case F::LineError: return tr("Ошибка линии");
    case F::EchoMismatch: return tr("Ответ не повторяет запрос");
    case F::WriteFailed: return tr("Ошибка записи в порт");
    case F::NotOpen: return tr("Порт не открыт");
    case F::BadRequest: return tr("Недопустимый запрос");
    case F::Cancelled: return tr("Обмен прерван");
    }
    return tr("Сбой %1").arg(failure);
}

QString FrameDecoder::exceptionText(int code)
{
    static const char *const names[] = {nullptr,
                                        QT_TR_NOOP("недопустимая функция"),
                                        QT_TR_NOOP("недопустимый адрес данных"),
                                        QT_TR_NOOP("недопустимое значение"),
                                        QT_TR_NOOP("отказ устройства"),
                                        QT_TR_NOOP("запрос принят, выполняется"),
                                        QT_TR_NOOP("устройство занято")};
    const QString text = tr("Исключение %1").arg(code);
    if (code <= 0 || code >= int(sizeof(names) / sizeof(names[0])))
        return text;
    return text + QStringLiteral(": ") + tr(names[code]);
}
