#pragma once
// A prompt for tests: records every text and answers questions from a queue, then with a
// default answer.

#include <deque>
#include <string>
#include <vector>

#include "text/Prompt.h"

namespace orvanta {

// Records every text and answers questions from a queue (then with a default answer).
class ScriptedPrompt : public Prompt {
  public:
    struct Entry {
        std::string text;
        PromptIcon icon;
        bool question;
        PromptButtons buttons;
    };

    explicit ScriptedPrompt(PromptAnswer fallback = PromptAnswer::Cancel) : fallback_(fallback) {}

    void queue(PromptAnswer answer) { answers_.push_back(answer); }
    const std::vector<Entry>& entries() const { return entries_; }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& e : entries_) {
            out.push_back(e.text);
        }
        return out;
    }
    void clear() { entries_.clear(); }

    void inform(const std::string& text, PromptIcon icon) override {
        entries_.push_back({text, icon, false, PromptButtons::Ok});
    }
    PromptAnswer ask(const std::string& text, PromptButtons buttons, PromptIcon icon) override {
        entries_.push_back({text, icon, true, buttons});
        if (answers_.empty()) {
            return fallback_;
        }
        const PromptAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }

  private:
    PromptAnswer fallback_;
    std::deque<PromptAnswer> answers_;
    std::vector<Entry> entries_;
};

}  // namespace orvanta
