#pragma once

#include <QString>

class LinkOptions;
class QCommandLineParser;
class SearchThread;

// The search of `orbix scan`, which `orbix audit` makes the same way: the program's
// search over every address of a range under each frame format, at one speed.
class LineScan
{
public:
    // --baud, --addresses and --probe-timeout, as both commands take them.
    static void addOptionsTo(QCommandLineParser &parser);
    // "FROM-TO" or a single address, within 1-247; false for anything else.
    static bool parseRange(const QString &text, int &first, int &last);
    // The thread set up for the line and the range; the caller starts it.
    static void setUp(SearchThread &thread, const LinkOptions &link, int first, int last, int probeTimeoutMs);
};
