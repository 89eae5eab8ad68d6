#pragma once

// Lambdas joined into one overloaded handler for EventDispatch::visit:
//   EventDispatch::visit(event, EventHandlers {[](const ConfigEvent &e) { ... }, [](const DataEvent &) {}});
// The lambda taking the event's own class is called, else the one taking its base.
// Take the base by its name, not by const auto &: a template would win over every
// other lambda.
template <typename... Handler>
struct EventHandlers : Handler... {
    using Handler::operator()...;
};
template <typename... Handler>
EventHandlers(Handler...) -> EventHandlers<Handler...>;
