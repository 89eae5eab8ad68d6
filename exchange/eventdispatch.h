#pragma once

#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataevent.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/eventhandlers.h"
#include "exchange/linkstatisticsevent.h"
#include "exchange/runconfigeventget.h"
#include "exchange/runconfigeventprogress.h"
#include "exchange/searchevent.h"
#include "exchange/searcheventerror.h"
#include "exchange/searcheventfound.h"
#include "exchange/trafficevent.h"

// The one place where an event's type code becomes its class: receivers get the
// event as what it is, never by a cast of their own. Each switch names every code
// and has no default, so a new code that is not given its class here does not
// build. An event whose object is not of the class its code names (a bare event
// made with that code) reaches the handler of the base class, like the events
// that carry nothing but their code (Connected, ClockSet and the like).
class EventDispatch
{
public:
    // Calls handlers with the event as its class; returns what the handler returns.
    template <typename Handlers>
    static decltype(auto) visit(const DataEvent &event, Handlers &&handlers)
    {
        switch (event.type()) {
        case DataEvent::Get: return as<DataEventGet>(event, handlers);
        case DataEvent::Error: return as<DataEventError>(event, handlers);
        case DataEvent::GetProtocol: return as<DataEventGetProtocol>(event, handlers);
        case DataEvent::Config: return as<ConfigEvent>(event, handlers);
        case DataEvent::RunConfigGet: return as<RunConfigEventGet>(event, handlers);
        case DataEvent::RunConfigProgress: return as<RunConfigEventProgress>(event, handlers);
        case DataEvent::OscillogramGet: return as<CrashEventOscillogramGet>(event, handlers);
        case DataEvent::AutoConfigStateChanged: return as<ChangeAutoConfigState>(event, handlers);
        case DataEvent::Traffic: return as<TrafficEvent>(event, handlers);
        case DataEvent::LinkStatistics: return as<LinkStatisticsEvent>(event, handlers);
        case DataEvent::Connected:
        case DataEvent::Disconnected:
        case DataEvent::LinkRestored:
        case DataEvent::ClockSet:
        case DataEvent::ClockNotSet:
        case DataEvent::CrashProtocolReset:
        case DataEvent::CrashProtocolNotReset:
        case DataEvent::WorkProtocolReset:
        case DataEvent::WorkProtocolNotReset:
        case DataEvent::WorkTimeReset:
        case DataEvent::WorkTimeNotReset: break;
        }
        return handlers(event);
    }

    template <typename Handlers>
    static decltype(auto) visit(const SearchEvent &event, Handlers &&handlers)
    {
        switch (event.type()) {
        case SearchEvent::Error: return as<SearchEventError>(event, handlers);
        case SearchEvent::Found: return as<SearchEventFound>(event, handlers);
        case SearchEvent::Started:
        case SearchEvent::ProbeDone:
        case SearchEvent::ScanDone:
        case SearchEvent::Progress:
        case SearchEvent::Stopped: break;
        }
        return handlers(event);
    }

private:
    template <typename Event, typename Base, typename Handlers>
    static decltype(auto) as(const Base &event, Handlers &handlers)
    {
        if (const auto *e = dynamic_cast<const Event *>(&event))
            return handlers(*e);
        return handlers(event);
    }
};
