#include "gateway/outbox.h"

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
    file.write(record(kind, number, message));
    file.flush();
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

// The journal written anew with only what is held, replacing the old one at once.
void Outbox::compact()
{
    file.close();
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        for (const auto &m : held)
            out.write(record('+', m.first, &m.second));
        out.commit();
    }
    removals = 0;
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}
