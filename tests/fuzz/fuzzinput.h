#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

// What the fuzz targets share: reading parameters off the front of an input, a
// check that reports and aborts (so libFuzzer keeps the input), and a file in
// memory for the loaders that only take a path.

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, std::size_t size) : at(data), left(size) {}

    // 0 once the input is used up, so every input is a valid one.
    quint8 byte()
    {
        if (left == 0)
            return 0;
        --left;
        return *at++;
    }
    quint16 word() { return quint16(byte() << 8 | byte()); }
    qint32 int32() { return qint32(quint32(word()) << 16 | word()); }

    const uint8_t *rest() const { return at; }
    std::size_t restSize() const { return left; }

private:
    const uint8_t *at;
    std::size_t left;
};

// A file that lives in memory only, rewritten for every input and read back by
// path (/proc/self/fd/N), so a fuzz run leaves nothing behind on disk.
class MemoryFile
{
public:
    MemoryFile()
        : fd(memfd_create("fuzz-input", 0))
        , name(QStringLiteral("/proc/self/fd/") + QString::number(fd))
    {
        FUZZ_CHECK(fd >= 0);
    }
    ~MemoryFile() { ::close(fd); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    const QString &path(const uint8_t *data, std::size_t size)
    {
        FUZZ_CHECK(ftruncate(fd, 0) == 0);
        FUZZ_CHECK(size == 0 || pwrite(fd, data, size, 0) == ssize_t(size));
        return name;
    }

private:
    int fd;
    QString name;
};
