#pragma once
// The one place where strings cross between the core (UTF-8 std::string) and Qt (QString),
// and where pages fetch their texts by typed key. The UI library is built without Qt's
// implicit conversions from and to char*, so every crossing goes through these helpers.

#include <QString>
#include <initializer_list>
#include <string>
#include <string_view>

#include "text/TextId.h"

namespace orvanta {

// UTF-8 to QString and back.
QString qs(std::string_view utf8);
std::string utf8(const QString& text);

// The text of `key` in the interface language.
QString text(Text key);
// The same with its "%d" placeholders filled in order.
QString textf(Text key, std::initializer_list<long long> numbers);

}  // namespace orvanta
