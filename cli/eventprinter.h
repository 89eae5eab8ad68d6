#pragma once

#include <QJsonObject>
#include <QString>

class CurrentScale;
class DataEvent;
struct LinkStatistics;

// One line per data event for `orbix monitor`: readable text, or a JSON object
// with "type" (the event code) and the decoded payload under the fields' names.
// scale is the connected device's: the phase currents are printed in amperes.
class EventPrinter
{
public:
    static QString text(const DataEvent &event, const CurrentScale &scale);
    static QJsonObject json(const DataEvent &event, const CurrentScale &scale);
    static QString typeName(int type);
    static QJsonObject statistics(const LinkStatistics &stats);
};
