#include "gateway/gatewaylog.h"

#include <cstdio>
#include <mutex>
#include <unistd.h>

void GatewayLog::write(int priority, const QString &text)
{
    static std::mutex lock; // lines of several threads never interleave
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    QByteArray line;
    if (terminal) {
        const char *word = priority <= Error ? "\033[31merror\033[0m: "
                           : priority == Warning ? "\033[33mwarning\033[0m: " : "";
        line = word + text.toUtf8();
    } else {
        line = '<' + QByteArray::number(priority) + '>' + text.toUtf8();
    }
    line.replace('\n', ' ');
    line += '\n';
    std::lock_guard<std::mutex> guard(lock);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
