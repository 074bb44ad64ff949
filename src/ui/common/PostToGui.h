#pragma once
// Hands calls from worker threads to the thread of a QObject (the GUI thread for widgets).
// Calls posted to one receiver run in the order they were posted; a call still queued when the
// receiver is destroyed is dropped.
//
// guiEventSink() is for a worker that may outlive its receiver: it posts through a
// ReceiverLink, so once the receiver is gone nothing more is posted to it. postToGui() posts
// directly: the receiver must still exist while it runs, so call it only on the receiver's own
// thread or from a thread the receiver stops and joins before it is destroyed. One-shot work
// with a result goes through runInBackground (BackgroundTask.h).

#include <QMetaObject>
#include <QObject>
#include <memory>
#include <utility>

#include "platform/EventSink.h"
#include "ui/common/ReceiverLink.h"

namespace orvanta {

template <class F>
void postToGui(QObject* receiver, F call) {
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}

// An event sink for a worker that hands each event to `handler` on the receiver's thread, while
// the receiver lives. Create it on the receiver's thread.
template <class Event, class Handler>
EventSink<Event> guiEventSink(QObject* receiver, Handler handler) {
    std::shared_ptr<ReceiverLink> link = ReceiverLink::to(receiver);
    return [link, handler = std::move(handler)](const Event& event) {
        link->post([handler, event] { handler(event); });
    };
}

template <class Event, class Receiver>
EventSink<Event> guiEventSink(Receiver* receiver, void (Receiver::*handler)(const Event&)) {
    return guiEventSink<Event>(
        receiver, [receiver, handler](const Event& event) { (receiver->*handler)(event); });
}

}  // namespace orvanta
