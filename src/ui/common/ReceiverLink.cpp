#include "ui/common/ReceiverLink.h"

#include <QMetaObject>

namespace orvanta {

std::shared_ptr<ReceiverLink> ReceiverLink::to(QObject* receiver) {
    std::shared_ptr<ReceiverLink> link(new ReceiverLink);
    link->receiver_ = receiver;
    // Runs on the receiver's thread as it is destroyed, before Qt drops the calls still queued
    // to it: from here on nothing more is queued.
    link->watch_ =
        QObject::connect(receiver, &QObject::destroyed, [weak = std::weak_ptr<ReceiverLink>(link)] {
            if (auto l = weak.lock()) {
                l->cut();
            }
        });
    return link;
}

ReceiverLink::~ReceiverLink() {
    // A receiver that lives long (a dialog that runs many transfers) keeps no notice per link.
    QObject::disconnect(watch_);
}

void ReceiverLink::post(std::function<void()> call) {
    // Held while queuing, so the receiver cannot be destroyed between the check and the post.
    std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) {
        QMetaObject::invokeMethod(receiver_, std::move(call), Qt::QueuedConnection);
    }
}

void ReceiverLink::cut() {
    std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) {
        QObject::disconnect(watch_);
        receiver_ = nullptr;
    }
}

}  // namespace orvanta
