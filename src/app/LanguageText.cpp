#include "app/LanguageText.h"

#include <array>
#include <atomic>
#include <string_view>

#include "app/LanguageTable.h"

namespace orvanta {
namespace {

std::atomic<int> gLanguage{-1};

constexpr std::size_t kRowCount = kLastLanguageTextId - kFirstLanguageTextId + 1;

// The table as std::string once, so that lookups hand out references without copying.
struct LanguageStrings {
    std::array<std::string, kRowCount> english;
    std::array<std::string, kRowCount> japanese;
    std::array<std::string, kRowCount> chinese;
    std::array<bool, kRowCount> present{};

    LanguageStrings() {
        for (std::size_t i = 0; i < kRowCount; ++i) {
            const LanguageRow& row = *languageRow(kFirstLanguageTextId + static_cast<int>(i));
            if (row.english == nullptr) {
                continue;
            }
            present[i] = true;
            english[i] = row.english;
            japanese[i] = row.japanese != nullptr ? row.japanese : english[i];
            chinese[i] = row.chinese != nullptr ? row.chinese : japanese[i];
        }
    }
};

const LanguageStrings& strings() {
    static const LanguageStrings table;
    return table;
}

}  // namespace

LanguageId interfaceLanguage() {
    int v = gLanguage.load();
    if (v < 0) {
        // The first caller decides; a concurrent first call or an earlier
        // setInterfaceLanguage wins over our own reading of the locale.
        int fresh = static_cast<int>(systemLanguage());
        if (gLanguage.compare_exchange_strong(v, fresh)) {
            v = fresh;
        }
    }
    return static_cast<LanguageId>(v);
}

void setInterfaceLanguage(LanguageId language) {
    gLanguage.store(static_cast<int>(language));
}

const std::string& LanguageText(int id, LanguageId language) {
    static const std::string kError = "ERROR!";
    if (id < kFirstLanguageTextId || id > kLastLanguageTextId) {
        return kError;
    }
    const LanguageStrings& table = strings();
    const auto i = static_cast<std::size_t>(id - kFirstLanguageTextId);
    if (!table.present[i]) {
        return kError;
    }
    switch (language) {
        case LanguageId::Japanese:
            return table.japanese[i];
        case LanguageId::ChineseSimplified:
            return table.chinese[i];
        case LanguageId::English:
            break;
    }
    return table.english[i];
}

const std::string& LanguageText(int id) {
    return LanguageText(id, interfaceLanguage());
}

std::string formatText(std::string_view pattern, std::initializer_list<long long> numbers) {
    std::string out;
    out.reserve(pattern.size() + 8 * numbers.size());
    auto next = numbers.begin();
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const std::size_t mark = pattern.find("%d", pos);
        if (mark == std::string_view::npos) {
            out.append(pattern.substr(pos));
            break;
        }
        out.append(pattern.substr(pos, mark - pos));
        if (next != numbers.end()) {
            out += std::to_string(*next++);
        } else {
            out += "%d";
        }
        pos = mark + 2;
    }
    return out;
}

std::string formatText(int id, std::initializer_list<long long> numbers) {
    return formatText(LanguageText(id), numbers);
}

}  // namespace orvanta
