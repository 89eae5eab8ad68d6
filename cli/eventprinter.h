#pragma once

#include <QJsonObject>
#include <QString>

class DataEvent;
struct LinkStatistics;

// One line per data event for `orbix monitor`: readable text, or a JSON object
// with "type" (the event code) and the decoded payload under the fields' names.
class EventPrinter
{
public:
    static QString text(const DataEvent &event);
    static QJsonObject json(const DataEvent &event);
    static QString typeName(int type);
    static QJsonObject statistics(const LinkStatistics &stats);
};
