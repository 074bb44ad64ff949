#pragma once
// How a worker thread reports to whoever started it: one callable per kind of event, called on
// the worker's thread in the order the events happen. A user interface hands each event over
// to its own thread (ui/common/PostToGui.h); a blocking caller queues them or keeps them.

#include <functional>

namespace orvanta {

template <class Event>
using EventSink = std::function<void(const Event&)>;

}  // namespace orvanta
