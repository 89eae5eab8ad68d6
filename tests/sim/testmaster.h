#pragma once

#include "link/modbusport.h"
#include "tests/testreplygap.h"

#include <QString>

#include <memory>

// ModbusPort, the real master, opened on a simulator's line with the settings a test names.
class TestMaster
{
public:
    static constexpr int kAnswerTimeoutMs = 600; // a reply starts well within this
    static constexpr int kSilenceTimeoutMs = 300; // enough to be sure none comes

    static std::unique_ptr<ModbusPort> open(const QString &path, quint8 address, quint32 baud = 19200,
                                            int format = ModbusPort::Format8E1, int timeoutMs = kAnswerTimeoutMs,
                                            int replyGapMs = kTestReplyGapMs);
};
