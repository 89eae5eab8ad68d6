#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <memory>

// What the search thread tells the search tab. Travels as a shared pointer to const
// and is deleted with its last holder. The scan number tells which scan sent it:
// a new scan (not a continued one) gets a new number, so that late events of an
// earlier scan are not taken for the current one.
class SearchEvent
{
public:
    enum Type : qint32 {
        Error = 0,      // opening the port failed
        Started = 1,    // port open, before the first probe
        Found = 2,      // a probe got an identification answer
        ProbeDone = 3,  // the single probe is done
        ScanDone = 4,   // the scan reached the last address
        Progress = 5,   // after each probe of a scan
        Stopped = 6     // stopped; a scan can be continued
    };

    explicit SearchEvent(Type type);
    virtual ~SearchEvent();
    SearchEvent(const SearchEvent &) = delete;
    SearchEvent &operator=(const SearchEvent &) = delete;

    Type type() const { return eventType; }
    quint64 scan() const { return scanNumber; }
    // Set by the sender before the event leaves it.
    void setScan(quint64 number) { scanNumber = number; }

private:
    const Type eventType;
    quint64 scanNumber = 0;
};

using SearchEventPtr = std::shared_ptr<const SearchEvent>;
Q_DECLARE_METATYPE(SearchEventPtr)
