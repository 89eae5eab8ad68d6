#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// A test peer on a pseudo-terminal that answers each request frame with exactly
// the bytes a test scripts, malformed ones included: what no well-behaved device
// (and so not the simulator) would ever send.
class ScriptedSlave
{
public:
    struct Reply {
        QByteArray bytes;   // sent as they are (append the CRC yourself with RtuFraming::appendCrc)
        int pauseAfter = -1; // split: send bytes[0..pauseAfter) then pause pauseMs, then the rest
        int pauseMs = 0;
    };
    using Handler = std::function<Reply(const QByteArray &request)>;

    ScriptedSlave();
    ~ScriptedSlave();

    bool start(Handler handler);
    void stop();
    QString path() const { return slavePath; }
    QList<QByteArray> requests() const;
    // How many replies have gone out whole.
    int repliesSent() const { return sent.load(); }

    // Builds a reply with a correct CRC.
    static Reply withCrc(QByteArray frame);

private:
    void serve();
    void send(const Reply &reply);

    int master = -1;
    int keepOpen = -1; // the slave side stays open so the master never sees a hang-up
    int wake[2] = {-1, -1};
    QString slavePath;
    Handler handler;
    std::thread worker;
    mutable QMutex mutex;
    QList<QByteArray> received;
    std::atomic<int> sent {0};
};
