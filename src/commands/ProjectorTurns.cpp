#include "commands/ProjectorTurns.h"

#include <chrono>
#include <thread>

#include "text/LanguageText.h"

namespace orvanta {

std::shared_ptr<std::mutex> ProjectorTurns::turnOf(std::uint32_t address) {
    const std::lock_guard lock(mutex_);
    std::shared_ptr<std::mutex>& turn = turns_[address];
    if (!turn) {
        turn = std::make_shared<std::mutex>();
    }
    return turn;
}

ManyProjectorOperation ProjectorTurns::inTurn(ManyProjectorOperation operation) {
    return [this, operation = std::move(operation)](const CommandContext& c) {
        const std::shared_ptr<std::mutex> turn = turnOf(c.target.address);
        std::unique_lock held(*turn, std::defer_lock);
        // Polled rather than blocked on, so that a Cancel or a stopping service is heard while
        // another command holds the projector.
        while (!held.try_lock()) {
            if (c.runner.flags().stopRequested.load()) {
                return Outcome::cancellation(languageText(Text::CommandCancelled));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return operation(c);
    };
}

}  // namespace orvanta
