#pragma once
// Builds a random template (literal runs and placeholders, each in colors of its own) and
// random values for it, fills it for a projector and checks what must hold whatever the
// values: the filled text is exactly the literals with the values in place of their
// placeholders, each value in the colors of its placeholder, and a message that is accepted
// encodes and decodes back to that text. The fuzz target draws from its input, the unit test
// from a seeded generator.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "message/MessageOptions.h"
#include "message/Payload.h"
#include "platform/TextCodec.h"
#include "support/ScriptedPrompt.h"
#include "templates/Template.h"

namespace orvanta::testing {

// Hands out numbers from whatever the caller has (fuzz bytes, a generator).
using Draw = std::function<std::uint32_t()>;

inline std::u16string drawText(const Draw& draw, std::size_t most) {
    // Braces, field-like words, rich-text control characters, the page-feed mark, CJK, emoji
    // (a surrogate pair), Latin-1 and plain letters.
    static const std::u16string kPieces[] = {
        u"{",      u"}",  u"{room}", u"{x}",    u"{{room}}", u"\\",           u"\x1B",
        u"\r",     u"\n", u"\t",     u"\u25BC", u"\f",       u"\u65E5\u672C", u"\U0001F525",
        u"\u00E9", u"A",  u"z",      u" ",      u"}{",       u"\uFFFF",       u"\u0000"};
    std::u16string text;
    const std::size_t pieces = draw() % (most + 1);
    for (std::size_t i = 0; i < pieces; ++i) {
        text += kPieces[draw() % std::size(kPieces)];
    }
    return text;
}

// Empty when everything held; otherwise what did not.
inline std::string checkRandomFill(const Draw& draw) {
    static const Rgb kColors[] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xC0C0C0, 0xE0E0E0};
    const auto color = [&] { return kColors[draw() % std::size(kColors)]; };

    MessageTemplate tmpl;
    tmpl.name = "Random";
    const std::size_t fieldCount = 1 + draw() % 3;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        TemplateField field;
        field.name = "f" + std::to_string(i);
        field.required = false;
        field.maxLength = kMaxFieldLength;
        tmpl.fields.push_back(field);
    }
    const std::vector<std::string> builtins = {"projector", "address", "group"};

    // The template and, beside it, the text it must become.
    FieldValues values;
    SendFacts facts{"Room \u65E5 {group}", "127.0.0.2", "Hall {f0}", "2026-12-08", "09:30"};
    const std::string factValues[] = {facts.projectorName, facts.address, facts.group};
    RichText expected;
    for (const TemplateField& field : tmpl.fields) {
        // A value from the pieces, less what a value may never hold.
        std::u16string value;
        for (char16_t c : drawText(draw, 12)) {
            if (c >= 0x20 && c != 0x25BC && c != 0xFFFF && c != 0x7F) {
                value.push_back(c);
            }
        }
        values[field.name] = utf16ToUtf8(value);
    }
    const std::size_t parts = draw() % 12;
    for (std::size_t i = 0; i < parts; ++i) {
        const Rgb fg = color();
        const Rgb bg = color();
        if (draw() % 2 == 0) {
            // Literal text; braces only where they can never read as a field.
            std::u16string literal;
            for (char16_t c : drawText(draw, 6)) {
                // What the editor cannot put into a paragraph, or changes on the way (page
                // feeds), stays out: the check is about the values.
                if (c != u'{' && c >= 0x0D && c != 0x1B && c != 0x25BC && c != 0xFFFF) {
                    literal.push_back(c);
                }
            }
            tmpl.message.body.append(literal, fg, bg);
            expected.append(literal, fg, bg);
        } else if (draw() % 4 == 0) {
            const std::size_t which = draw() % builtins.size();
            tmpl.message.body.append(u"{" + utf8ToUtf16(builtins[which]) + u"}", fg, bg);
            expected.append(utf8ToUtf16(factValues[which]), fg, bg);
        } else {
            const TemplateField& field = tmpl.fields[draw() % tmpl.fields.size()];
            tmpl.message.body.append(u"{" + utf8ToUtf16(field.name) + u"}", fg, bg);
            expected.append(utf8ToUtf16(values[field.name]), fg, bg);
        }
    }
    replaceTabs(expected);

    ProjectorCapabilities wide{4, 0x7u};
    const auto filled = fillTemplate(tmpl, values, facts, wide);
    if (!filled) {
        if (filled.reason().kind == TemplateProblemKind::MessageTooLong) {
            return {};
        }
        return "refused: " + filled.error();
    }
    const Message& message = filled.value().message;
    if (!(message.body == expected)) {
        return "filled text differs from the literals with the values";
    }

    Message sent = message;
    EncodeSettings settings;
    settings.capabilities = wide;
    settings.optionsFromFile = true;
    ScriptedPrompt prompt(PromptAnswer::Cancel);
    const EncodeResult encoded = encodeMessage(sent, settings, prompt);
    if (!encoded || !encoded.value().payload) {
        return "a filled message that was accepted does not encode";
    }
    const DecodedBody decoded = decodeMessageBody(encoded.value().payload->body);
    std::u16string want = sent.body.text();
    std::u16string got = decoded.message.text();
    for (char16_t& c : want) {
        if (c == u'\n') {
            c = u' ';  // lines broken by the encoder read back as spaces
        }
    }
    if (got.size() != want.size()) {
        return "the decoded message has another length";
    }
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (want[i] != got[i]) {
            return "the decoded message differs at unit " + std::to_string(i);
        }
    }
    return {};
}

}  // namespace orvanta::testing
