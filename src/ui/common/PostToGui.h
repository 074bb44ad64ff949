#pragma once
// Hands work from a worker thread to the thread of a QObject (the GUI thread for widgets).
// Calls posted to one receiver run in the order they were posted; a call still queued when
// the receiver is destroyed is dropped, so a worker that outlives its window touches nothing.

#include <QMetaObject>
#include <QObject>
#include <utility>

#include "platform/EventSink.h"

namespace orvanta {

template <class F>
void postToGui(QObject* receiver, F call) {
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}

// An event sink for a worker that hands each event to `handler` of `receiver` on the
// receiver's thread.
template <class Event, class Receiver>
EventSink<Event> guiEventSink(Receiver* receiver, void (Receiver::*handler)(const Event&)) {
    return [receiver, handler](const Event& event) {
        postToGui(receiver, [receiver, handler, event] { (receiver->*handler)(event); });
    };
}

}  // namespace orvanta
