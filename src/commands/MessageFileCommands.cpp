#include "commands/MessageFileCommands.h"

#include "text/LanguageText.h"

namespace orvanta {
namespace {

Outcome tell(Prompt& prompt, std::string text, Outcome::Step step,
             PromptIcon icon = PromptIcon::Information) {
    prompt.inform(text, icon);
    return Outcome::failure(std::move(text), step);
}

// An encoder failure, told to the operator; without a text the operator answered a question
// and the command was called off.
Outcome encodeFailure(const EncodeResult& result, Prompt& prompt) {
    reportEncodeFailure(result, prompt);
    return result.error().empty() ? Outcome::cancellation() : Outcome::failure(result.error());
}

}  // namespace

Outcome checkBeforeSave(Message& message, const EncodeSettings& settings, Prompt& prompt,
                        std::optional<EncodeResult>* encoded) {
    if (message.body.empty()) {
        return tell(prompt, languageText(Text::PleaseInputMessage), Outcome::Step::Checks);
    }
    EncodeSettings check = settings;
    check.purpose = EncodePurpose::Check;
    EncodeResult result = encodeMessage(message, check, prompt);
    const Outcome outcome = result ? Outcome::success() : encodeFailure(result, prompt);
    if (encoded != nullptr) {
        *encoded = std::move(result);
    }
    return outcome;
}

Outcome saveMessageAs(const std::string& path, Message& message, const EncodeSettings& settings,
                      Prompt& prompt) {
    if (!hasMessageFileEnding(path)) {
        return tell(prompt, languageText(Text::OnlyOvxValid), Outcome::Step::Checks);
    }
    EncodeSettings save = settings;
    save.purpose = EncodePurpose::Save;
    save.optionsFromFile = false;
    const EncodeResult result = encodeMessage(message, save, prompt);
    if (!result || !result.value().payload) {
        return encodeFailure(result, prompt);
    }
    const Result<void, SaveProblem> saved = saveMessageFile(
        path, message, result.value().payload->header, settings.capabilities, prompt);
    if (!saved) {
        // saveMessageFile has told the operator why.
        return Outcome::failure(saved.reason() == SaveProblem::WriteFailed
                                    ? path + ": " + saved.error()
                                    : saved.error());
    }
    prompt.inform(languageText(Text::Complete));
    return Outcome::success();
}

Outcome openMessageFile(const std::string& path, bool extendedOptions, Message& message,
                        Prompt& prompt) {
    MessageFileResult read = readMessageFile(path, extendedOptions, message);
    if (!read) {
        return tell(prompt, read.error(), Outcome::Step::Command, PromptIcon::Error);
    }
    message = std::move(read).value();
    return Outcome::success();
}

}  // namespace orvanta
