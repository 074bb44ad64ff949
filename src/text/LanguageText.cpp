#include "text/LanguageText.h"

#include <array>
#include <atomic>
#include <optional>
#include <string_view>
#include <vector>

#include "text/LanguageTable.h"

namespace orvanta {
namespace {

std::atomic<int> gLanguage{-1};

constexpr std::size_t kOriginalCount = kLastLanguageTextId - kFirstLanguageTextId + 1;

// Position of `id` among all rows: the original texts first, then the keys added since.
std::optional<std::size_t> rowIndex(int id) {
    if (id >= kFirstLanguageTextId && id <= kLastLanguageTextId) {
        return static_cast<std::size_t>(id - kFirstLanguageTextId);
    }
    const std::optional<std::size_t> added = addedTextPosition(id);
    if (!added) {
        return std::nullopt;
    }
    return kOriginalCount + *added;
}

// The table as std::string once, so that lookups hand out references without copying.
struct LanguageStrings {
    struct Row {
        bool present = false;
        std::array<std::string, 3> byLanguage;  // English, Japanese, Simplified Chinese
    };
    std::vector<Row> rows;

    LanguageStrings() {
        rows.resize(kOriginalCount + addedTextRows().size());
        for (std::size_t i = 0; i < kOriginalCount; ++i) {
            fill(rows[i], *languageRow(kFirstLanguageTextId + static_cast<int>(i)));
        }
        for (std::size_t i = 0; i < addedTextRows().size(); ++i) {
            fill(rows[kOriginalCount + i], addedTextRows()[i].texts);
        }
    }

    static void fill(Row& out, const LanguageRow& row) {
        if (row.english == nullptr) {
            return;
        }
        out.present = true;
        out.byLanguage[0] = row.english;
        out.byLanguage[1] = row.japanese != nullptr ? row.japanese : out.byLanguage[0];
        out.byLanguage[2] = row.chinese != nullptr ? row.chinese : out.byLanguage[1];
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

int interfaceCodePage() {
    switch (interfaceLanguage()) {
        case LanguageId::Japanese:
            return 932;
        case LanguageId::ChineseSimplified:
            return 936;
        case LanguageId::English:
            break;
    }
    return 1252;
}

void setInterfaceLanguage(LanguageId language) {
    gLanguage.store(static_cast<int>(language));
}

const std::string& languageText(int id, LanguageId language) {
    static const std::string kError = "ERROR!";
    const std::optional<std::size_t> index = rowIndex(id);
    if (!index) {
        return kError;
    }
    const LanguageStrings::Row& row = strings().rows[*index];
    if (!row.present) {
        return kError;
    }
    switch (language) {
        case LanguageId::Japanese:
            return row.byLanguage[1];
        case LanguageId::ChineseSimplified:
            return row.byLanguage[2];
        case LanguageId::English:
            break;
    }
    return row.byLanguage[0];
}

const std::string& languageText(int id) {
    return languageText(id, interfaceLanguage());
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
    return formatText(languageText(id), numbers);
}

}  // namespace orvanta
