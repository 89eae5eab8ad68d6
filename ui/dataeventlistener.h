#pragma once

class DataEvent;

// Implemented by the main window and the device tabs: each receives every data
// event of the connection. The listener only reads the event; the main window owns it.
class DataEventListener
{
public:
    virtual ~DataEventListener() = default;
    virtual void onDataEvent(const DataEvent *event) = 0;
};
