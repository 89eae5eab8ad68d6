#include "gateway/outbox.h"

#include "gateway/gatewaylog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <mosquitto.h>
#include <zlib.h>

namespace {

// The first line of a journal whose lines carry their checksum. A file without it was
// written before the checksums: its lines are "+N topic payload" and "-N".
const QByteArray kHeader = QByteArrayLiteral("orbix-outbox 2\n");
// A drained journal larger than this is written anew at once rather than at the next start.
constexpr qint64 kDrainedJournalBytes = 4096;

QByteArray checksum(const QByteArray &text)
{
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(text.constData()), uInt(text.size()));
    return QByteArray::number(quint32(crc), 16).rightJustified(8, '0');
}

// One journal line: "+N topic payload CRC" with topic and payload in base64, or "-N CRC";
// CRC is the CRC-32 of what precedes it, in hex.
QByteArray record(char kind, quint64 number, const Outbox::Message *m)
{
    QByteArray line = kind + QByteArray::number(number);
    if (m)
        line += ' ' + m->topic.toBase64() + ' ' + m->payload.toBase64();
    return line + ' ' + checksum(line) + '\n';
}

bool decode(const QByteArray &text, QByteArray &out)
{
    auto result = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    out = std::move(result.decoded);
    return result.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
}

// What the broker takes as a topic to publish on, judged as the library judges it.
bool sendable(const QByteArray &topic)
{
    return !topic.isEmpty() && mosquitto_validate_utf8(topic.constData(), topic.size()) == MOSQ_ERR_SUCCESS
           && mosquitto_pub_topic_check2(topic.constData(), size_t(topic.size())) == MOSQ_ERR_SUCCESS;
}

struct JournalLine {
    char kind = 0; // '+', '-'; 0 for a damaged line
    quint64 number = 0;
    Outbox::Message message;
};

// A line of the journal, its newline included; checked is whether lines carry their checksum.
JournalLine parse(const QByteArray &raw, bool checked)
{
    JournalLine l;
    if (!raw.endsWith('\n') || raw.size() < 2 || (raw[0] != '+' && raw[0] != '-'))
        return l; // cut short by a crash, or not ours
    QByteArray text = raw.left(raw.size() - 1);
    if (checked) {
        const int space = text.lastIndexOf(' ');
        if (space < 0 || text.mid(space + 1) != checksum(text.left(space)))
            return l;
        text.truncate(space);
    }
    const QList<QByteArray> parts = text.mid(1).split(' ');
    bool ok = false;
    l.number = parts[0].toULongLong(&ok);
    const bool added = raw[0] == '+';
    if (!ok || l.number == 0 || parts.size() != (added ? 3 : 1))
        return l;
    if (added && !(decode(parts[1], l.message.topic) && decode(parts[2], l.message.payload)
                   && sendable(l.message.topic)))
        return l;
    l.kind = raw[0];
    return l;
}

} // namespace

Outbox::Outbox(const QString &path, int limit)
    : path(path)
    , limit(qMax(1, limit))
    , file(path)
{
}

bool Outbox::open()
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    read();
    while (int(held.size()) > limit) {
        held.erase(held.begin());
        ++droppedCount;
    }
    compact();
    if (!file.isOpen()) {
        errorText = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void Outbox::read()
{
    if (!file.open(QIODevice::ReadOnly))
        return;
    const bool checked = file.peek(kHeader.size()) == kHeader;
    if (checked)
        file.readLine();
    QByteArrayList damaged;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        const JournalLine l = parse(raw, checked);
        if (l.kind == '+')
            held[l.number] = l.message;
        else if (l.kind == '-')
            held.erase(l.number); // a damaged removal leaves its message held: sent again
        else if (!raw.trimmed().isEmpty())
            damaged << raw;
        if (l.kind)
            next = qMax(next, l.number + 1);
    }
    file.close();
    keepDamaged(damaged);
}

// Damaged lines are kept beside the journal for a look, never sent, never silently lost.
void Outbox::keepDamaged(const QByteArrayList &lines)
{
    if (lines.isEmpty())
        return;
    damagedCount += quint64(lines.size());
    const QString aside = path + QStringLiteral(".damaged");
    QByteArray text;
    for (const QByteArray &l : lines)
        text += l.endsWith('\n') ? l : l + '\n';
    QFile out(aside);
    const bool kept = out.open(QIODevice::WriteOnly | QIODevice::Append) && out.write(text) == text.size();
    GatewayLog::write(GatewayLog::Warning, QStringLiteral("outbox %1: %2 damaged records set aside%3")
                                               .arg(path).arg(lines.size())
                                               .arg(kept ? QStringLiteral(" in ") + aside : QStringLiteral(", not kept")));
}

void Outbox::append(char kind, quint64 number, const Message *message)
{
    if (!file.isOpen())
        return;
    if (!writing) { // a failed write may have left a line cut short: the journal written whole
        compact();
        return;
    }
    const QByteArray line = record(kind, number, message);
    const qint64 written = file.write(line);
    if (written != line.size())
        failed(written < 0 ? file.errorString() : QStringLiteral("%1 of %2 bytes written").arg(written).arg(line.size()));
}

void Outbox::failed(const QString &reason)
{
    if (!writing)
        return;
    writing = false;
    errorText = QStringLiteral("%1: %2").arg(path, reason);
    GatewayLog::write(GatewayLog::Warning,
                      QStringLiteral("outbox %1: messages held in memory only until it can be written").arg(errorText));
}

quint64 Outbox::push(const Message &message)
{
    const quint64 number = next++;
    held[number] = message;
    append('+', number, &message);
    while (int(held.size()) > limit) {
        remove(held.begin()->first);
        ++droppedCount;
    }
    return number;
}

void Outbox::remove(quint64 number)
{
    if (held.erase(number) == 0)
        return;
    append('-', number, nullptr);
    if ((++removals > 1000 && removals > int(held.size())) || (held.empty() && file.size() > kDrainedJournalBytes))
        compact();
}

void Outbox::setAside(quint64 number)
{
    const auto it = held.find(number);
    if (it == held.end())
        return;
    keepDamaged({record('+', number, &it->second)});
    remove(number);
}

// The journal written anew with only what is held, replacing the old one at once; a
// failed write keeps the old one.
void Outbox::compact()
{
    file.close();
    QSaveFile out(path);
    bool written = out.open(QIODevice::WriteOnly) && out.write(kHeader) == kHeader.size();
    for (auto m = held.cbegin(); written && m != held.cend(); ++m) {
        const QByteArray line = record('+', m->first, &m->second);
        written = out.write(line) == line.size();
    }
    written = written && out.flush() && out.commit(); // commit() alone may keep a cut file
    removals = 0;
    // Unbuffered: each record is one write, and a refused one is seen at once.
    file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    if (!written) {
        failed(out.errorString());
    } else if (!writing) {
        writing = true;
        GatewayLog::write(GatewayLog::Notice, QStringLiteral("outbox %1: written again").arg(path));
    }
}
