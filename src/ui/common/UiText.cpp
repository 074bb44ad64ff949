#include "ui/common/UiText.h"

#include "text/LanguageText.h"

namespace orvanta {

QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString text(Text key) {
    return qs(languageText(key));
}

QString textf(Text key, std::initializer_list<long long> numbers) {
    return qs(formatText(key, numbers));
}

}  // namespace orvanta
