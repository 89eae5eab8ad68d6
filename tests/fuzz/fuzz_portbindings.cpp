// COM number bindings as ports.conf (one per line) and $ORBIX_PORTS (';' between)
// give them, fed any text. Every binding names a port number above 0 and a target
// (a path or a network line, then options), the port map opens the target's path
// with its options for the number, and the bindings written back as the program
// writes ports.conf parse to the same.
#include "fuzzinput.h"
#include "portmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static MemoryFile file;
    FuzzInput in(data, size);
    const bool environment = in.byte() & 1;
    const QChar sep = environment ? QLatin1Char(';') : QLatin1Char('\n');
    QByteArray raw(reinterpret_cast<const char *>(in.rest()), int(in.restSize()));
    // Decoded as the program reads both: the text ends at a NUL byte, and the file
    // is read as text, without carriage returns (an edit on Windows leaves CR LF).
    if (!environment)
        raw.replace('\r', QByteArray());
    const QString text = QString::fromUtf8(raw);

    const QMap<int, QString> bindings = PortMap::parseBindings(text, sep);
    const PortMap map = environment ? PortMap(QString(), text, QStringLiteral("/nonexistent"), {})
                                    : PortMap(file.path(in.rest(), in.restSize()), QString(),
                                              QStringLiteral("/nonexistent"), {});
    // As ports.conf is written: a comment line first.
    QString written = QStringLiteral("# COM numbers") + sep;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        FUZZ_CHECK(it.key() > 0);
        FUZZ_CHECK(!it.value().isEmpty());
        FUZZ_CHECK(it.value() == it.value().trimmed());
        FUZZ_CHECK(!it.value().contains(sep));
        FUZZ_CHECK(text.contains(it.value()));
        QString path;
        LineOptions options;
        PortMap::parseTarget(it.value(), path, options);
        FUZZ_CHECK(!path.isEmpty() && it.value().startsWith(path));
        FUZZ_CHECK(map.devicePath(it.key()) == path);
        FUZZ_CHECK(map.resolve(QStringLiteral("COM") + QString::number(it.key())) == path);
        FUZZ_CHECK(map.lineOptions(it.key()) == options);
        written += QStringLiteral("COM") + QString::number(it.key()) + QLatin1Char('=') + it.value() + sep;
    }
    FUZZ_CHECK(PortMap::parseBindings(QString::fromUtf8(written.toUtf8()), sep) == bindings);

    // Any name is a port number (> 0) or not one (0).
    FUZZ_CHECK(PortMap::parseComName(text) >= 0);
    return 0;
}
