#pragma once
// The one way the program asks or tells the operator something. The desktop program shows a
// message box captioned with Text::Caption; tests answer from a script
// (tests/support/ScriptedPrompt.h) and the command-line front end from --yes. Core code that needs
// an answer takes a Prompt&.

#include <string>

namespace orvanta {

enum class PromptIcon { Information, Question, Warning, Error };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompt {
  public:
    virtual ~Prompt() = default;
    // A message with an OK button.
    virtual void inform(const std::string& text, PromptIcon icon = PromptIcon::Information) = 0;
    // A question; the answer is one of the buttons offered.
    virtual PromptAnswer ask(const std::string& text, PromptButtons buttons,
                             PromptIcon icon = PromptIcon::Question) = 0;
};

}  // namespace orvanta
