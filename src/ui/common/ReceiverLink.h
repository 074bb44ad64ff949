#pragma once
// A link from worker threads to a QObject's thread that holds while the object lives and is cut
// when it is destroyed: what lets a worker that outlives its window post nothing to it.

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

namespace orvanta {

// Hands calls to a receiver's thread while it lives; after its destruction it hands none.
// Safe to use from any thread.
class ReceiverLink {
  public:
    // Call on the receiver's thread.
    static std::shared_ptr<ReceiverLink> to(QObject* receiver);
    // Lets go of the receiver's destruction notice (from any thread).
    ~ReceiverLink();
    ReceiverLink(const ReceiverLink&) = delete;
    ReceiverLink& operator=(const ReceiverLink&) = delete;

    // Queues `call` to run on the receiver's thread; dropped when the receiver is gone, now or
    // before the call's turn comes.
    void post(std::function<void()> call);
    // Ends the link from the receiver's side (also done when it is destroyed).
    void cut();

  private:
    ReceiverLink() = default;

    std::mutex mutex_;
    QObject* receiver_ = nullptr;  // guarded by mutex_; null once the receiver is gone
    QMetaObject::Connection watch_;
};

}  // namespace orvanta
