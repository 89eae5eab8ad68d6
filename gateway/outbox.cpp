#include "gateway/outbox.h"

#include "gateway/gatewaylog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// One journal line: "+N topic payload" with topic and payload in base64, or "-N".
QByteArray record(char kind, quint64 number, const Outbox::Message *m)
{
    QByteArray line = kind + QByteArray::number(number);
    if (m)
        line += ' ' + m->topic.toBase64() + ' ' + m->payload.toBase64();
    return line + '\n';
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
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            const QList<QByteArray> parts = line.mid(1).split(' ');
            bool ok = false;
            const quint64 number = parts.value(0).toULongLong(&ok);
            if (!ok)
                continue; // a line cut short by a crash
            if (line.startsWith('+') && parts.size() == 3)
                held[number] = {QByteArray::fromBase64(parts[1]), QByteArray::fromBase64(parts[2])};
            else if (line.startsWith('-'))
                held.erase(number);
            next = qMax(next, number + 1);
        }
        file.close();
    }
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
    if (++removals > 1000 && removals > int(held.size()))
        compact();
}

// The journal written anew with only what is held, replacing the old one at once; a
// failed write keeps the old one.
void Outbox::compact()
{
    file.close();
    QSaveFile out(path);
    bool written = out.open(QIODevice::WriteOnly);
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
