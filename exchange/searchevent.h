#pragma once

#include <QtGlobal>

// What the search thread tells the search tab; the receiver deletes it.
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

    explicit SearchEvent(qint32 type);
    virtual ~SearchEvent();
    SearchEvent(const SearchEvent &) = delete;
    SearchEvent &operator=(const SearchEvent &) = delete;

    qint32 type() const { return eventType; }

private:
    const qint32 eventType;
};
