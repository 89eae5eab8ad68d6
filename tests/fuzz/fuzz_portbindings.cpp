// COM number bindings as ports.conf (one per line) and $ORBIX_PORTS (';' between)
// give them, fed any text. Every binding names a port number above 0 and a target
// (a path or a network line, then options), the port map opens the target's path
// with its options for the number, and the bindings written back as the program
// writes ports.conf parse to the same. A comment ('#' at the start of a word) is no
// part of a binding, and a file beyond the size limit binds nothing.
#include "storage/portmap.h"
#include "tests/fuzz/fuzzinput.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static MemoryFile file;
    FuzzInput in(data, size);
    const quint8 flags = in.byte();
    const bool environment = flags & 1;
    const bool oversized = !environment && (flags & 2);
    const QChar sep = environment ? QLatin1Char(';') : QLatin1Char('\n');
    QByteArray raw(reinterpret_cast<const char *>(in.rest()), int(in.restSize()));
    // Decoded as the program reads both: the text ends at a NUL byte, and the file
    // is read as text, without carriage returns (an edit on Windows leaves CR LF).
    if (!environment)
        raw.replace('\r', QByteArray());
    const QString text = QString::fromUtf8(raw);

    const QMap<int, QString> bindings = PortMap::parseBindings(text, sep);
    QByteArray stored(reinterpret_cast<const char *>(in.rest()), int(in.restSize()));
    if (oversized)
        stored += QByteArray(int(PortMap::kMaxBindingFileBytes), '\n');
    const PortMap map = environment ? PortMap(QString(), text, QStringLiteral("/nonexistent"), {})
                                    : PortMap(file.path(reinterpret_cast<const uint8_t *>(stored.constData()),
                                                        std::size_t(stored.size())),
                                              QString(), QStringLiteral("/nonexistent"), {});
    // As ports.conf is written: a comment line first.
    QString written = QStringLiteral("# COM numbers") + sep;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        FUZZ_CHECK(it.key() > 0);
        FUZZ_CHECK(!it.value().isEmpty());
        FUZZ_CHECK(it.value() == it.value().trimmed());
        FUZZ_CHECK(!it.value().contains(sep));
        FUZZ_CHECK(text.contains(it.value()));
        FUZZ_CHECK(!it.value().contains(QRegularExpression(QStringLiteral("\\s#"))));
        QString path;
        LineOptions options;
        PortMap::parseTarget(it.value(), path, options);
        FUZZ_CHECK(!path.isEmpty() && it.value().startsWith(path));
        if (oversized) { // read nothing of it: no binding's options
            FUZZ_CHECK(map.lineOptions(it.key()) == LineOptions());
        } else {
            FUZZ_CHECK(map.devicePath(it.key()) == path);
            FUZZ_CHECK(map.resolve(QStringLiteral("COM") + QString::number(it.key())) == path);
            FUZZ_CHECK(map.lineOptions(it.key()) == options);
        }
        written += QStringLiteral("COM") + QString::number(it.key()) + QLatin1Char('=') + it.value() + sep;
    }
    FUZZ_CHECK(PortMap::parseBindings(QString::fromUtf8(written.toUtf8()), sep) == bindings);

    // Any name is a port number (> 0) or not one (0).
    FUZZ_CHECK(PortMap::parseComName(text) >= 0);
    return 0;
}
