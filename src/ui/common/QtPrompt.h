#pragma once
// The desktop program's prompt: modal message boxes captioned "Projector Orvanta Tool".

#include <QPointer>
#include <QWidget>

#include "text/Prompt.h"

namespace orvanta {

class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void inform(const std::string& text, PromptIcon icon = PromptIcon::Information) override;
    PromptAnswer ask(const std::string& text, PromptButtons buttons,
                     PromptIcon icon = PromptIcon::Question) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace orvanta
