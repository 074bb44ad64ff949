// The program's user-visible texts in English, Japanese and Simplified Chinese (this file is
// UTF-8). Texts are data: keep them byte for byte, leading blanks, trailing line breaks and
// "%d" placeholders included, since callers format and lay them out as they stand.
#include "text/LanguageTable.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace orvanta {
namespace {

constexpr int kRowCount = kLastLanguageTextId - kFirstLanguageTextId + 1;

// Indexed by identifier - 1000. Null columns repeat the column before (see LanguageRow).
// clang-format off
constexpr std::array<LanguageRow, kRowCount> kRows{{
    /* 1000 */ {".ovx", nullptr, nullptr},
    /* 1001 */ {".txt", nullptr, nullptr},
    /* 1002 */ {"Please select PROJECTOR", "プロジェクターを選択してください。", "请选择投影机"},
    /* 1003 */ {"Please input Message", "メッセージを入力してください。", "请输入消息。"},
    /* 1004 */ {"Too many characters in the message box.\n( Current:%d[byte] / MAX:3968[byte])\n Do you want to execute [Auto Delete Function]?", "メッセージの文字数が多すぎます。\n( 現在:%d[byte] / 最大:3968[byte])\n [自動削除]を実行しますか？", "在消息框中的字符太多。\n( 当前:%d[byte] / 最大:3968[byte])\n是否要运行[自动删除？"},
    /* 1005 */ {"Too many characters in the title box.\n( Current:%d[byte] / MAX:128[byte])\nPlease delete character datas.", "タイトルの文字数が多すぎます。\n( 現在:%d[byte] / 最大:128[byte])\n 文字を削除してください。", "在标题框中的字符太多。\n( 当前:%d[byte] / 最大:128[byte])\n请删除字符数据。"},
    /* 1006 */ {"All Message may not be displayed because of too many characters in the message box. \nDo you want to proceed?", "メッセージの文字数が多いため、すべての文字が表示されない可能性があります。\n続行しますか？", "在消息框中的字符太多，邮件可能无法全部显示。\n你要继续吗？"},
    /* 1007 */ {"All Message may not be displayed because of too many characters in the message box. \nDo you want to proceed?", "メッセージの文字数が多いため、すべての文字が表示されない可能性があります。\n続行しますか？", "在消息框中的字符太多，邮件可能无法全部显示。\n你要继续吗？"},
    /* 1008 */ {"No Saved data", "保存されたデータがありません。", "没有已保存数据。"},
    /* 1009 */ {"Too many characters in the message box.\n( Current:%d[byte] / MAX:3968[byte])\nPlease delete character datas.", "メッセージの文字数が多すぎます。\n( 現在:%d[byte] / 最大:3968[byte])\n文字を削除してください。", "在消息框中的字符太多。\n( 当前:%d[byte] / 最大:3968[byte])\n请删除字符数据。"},
    /* 1010 */ {"Character display mode has been selected.\nAre you sure?", "文字表示モードが選択されています。\nよろしいですか？", "被选中的字符显示模式。\n是否确定吗？"},
    /* 1011 */ {"Projector Orvanta Tool", "プロジェクターオルヴァンタツール", "投影机奥凡塔工具"},
    /* 1012 */ {"Please input IP Address.", "IPアドレスを入力してください。", "请输入IP地址。"},
    /* 1013 */ {"Scroll num : Invalid value", "スクロール回数 : 値が不正です。", "滚动次数 : 非法数据"},
    /* 1014 */ {"Display time : Invalid value", "表示時間: 値が不正です", "显示时间 : 非法数据"},
    /* 1015 */ {"0[min]0[sec] : Invalid value", "0[分]0[秒] は指定できません。", "0[分]0[秒] : 非法数据"},
    /* 1016 */ {"SOCKET ERROR", nullptr, nullptr},
    /* 1017 */ {"AddBitmap Error\n", nullptr, nullptr},
    /* 1018 */ {"Are you sure that you want to exit this tool?", "アプリケーションを終了してもよろしいですか？", "确实要退出本软件?"},
    /* 1019 */ {"Same file name already exists.", "同じファイル名が存在します。", "已存在相同的文件名。"},
    /* 1020 */ {"    Complete.", "    正常に終了しました。", "    已成功完成。"},
    /* 1021 */ {"You clicked [Clear]. Are you sure?", "削除ボタンが押されました。よろしいですか？", "点击[清除]。是否确定吗？"},
    /* 1022 */ {"There is an unsaved data.\nDo you want to save this Message?", "保存されていないデータが存在します。\nこのデータを保存しますか？", "有一个未保存的数据。是否保存此消息？"},
    /* 1023 */ {"There is too many character. \nPlease delete any characters.", "文字数が多すぎます。\n文字を削除してください。", "字符太多。请删除字符。"},
    /* 1024 */ {"Max 40 characters", "タイトルは最大４０文字です。", "标题字符最多为40个。"},
    /* 1025 */ {"Max 20 characters", "タイトルは最大２０文字です。", "标题字符最多为20个。"},
    /* 1026 */ {"Max 10 characters", "タイトルは最大１０文字です。", "标题字符最多为10个。"},
    /* 1027 */ {".ovx extension is only valid.", "ovxファイルのみ有効です。", "OVX文件是唯一有效的。"},
    /* 1028 */ {"This file format is not supported.", "このファイル形式はサポートされていません。", "此文件格式不支持。"},
    /* 1029 */ {"Do you want to add this file to Message file list?", "このファイルをメッセージファイルリストに追加しますか？", "你想将它添加到这个文件的消息文件列表？"},
    /* 1030 */ {"Please Drop [Main Tab] or [Edit Tab].", "[メイン]タブか[エディット]タブにドロップしてください。", "请删除[主选项卡]或[编辑标签]。"},
    /* 1031 */ {"Do you want to extract this file?", "このファイルを展開してもよろしいですか？", "你要提取这个文件？"},
    /* 1032 */ {"Please select a PROJECTOR", "プロジェクターを選択してください。", "请选择投影机"},
    /* 1033 */ {"Maximun PROJECTOR registration number is 64.\nPlease delete a PROJECTOR in the list.", "登録できるプロジェクター数は64です。\n登録されているプロジェクターを削除してください。", "可登记的投影机数量最多是64台。\n请删除列表中的投影机。"},
    /* 1034 */ {"Same IP-Address already exists.", "同じIPアドレスが存在します。", "已经存在相同的IP地址。"},
    /* 1035 */ {"[ %d.%d.%d.%d ] will be deleted. Are you sure?", "[ %d.%d.%d.%d ] を削除します。よろしいですか？", "确实要删除[ %d.%d.%d.%d ]吗？"},
    /* 1036 */ {"[ %d.%d.%d.%d ]", nullptr, nullptr},
    /* 1037 */ {"Number of characters that so not supported : [ %d ]\n", "サポートされていない文字の数 : [ %d ]\n", "不支持的字符 : [ %d ]\n"},
    /* 1038 */ {"Do you want to execute Auto-delete-function?", "[自動削除]機能を実行しますか？", "是否要执行[自动删除]功能？"},
    /* 1039 */ {"Line %d : ", "行 %d : ", "线 %d : "},
    /* 1040 */ {"Firmware Level:[0] \n Transparent color is not supported.\n Do you want to send this message?", nullptr, nullptr},
    /* 1041 */ {"Projector has the fatal error.", "プロジェクターにエラーが発生しています。", "投影机发生故障。"},
    /* 1042 */ {"This message data is set [Picture Side] style in [Orvanta] function.\nThis projector does not support [Picture Side] style data.\nPlease try to set this data as other style.", nullptr, nullptr},
    /* 1043 */ {"The Send button is locked.", "送信ボタンはロックされています。", "发送按钮被锁定。"},
    /* 1044 */ {"Send Lock", "送信ロック", "发送锁定"},
    /* 1045 */ {"UnLock", "ロック解除", "锁定解除"},
    /* 1046 */ {"Change Password", "パスワード変更", "密码变更"},
    /* 1047 */ {"Lock the Send button.", "送信ボタンをロックします。", "锁定发送按键。"},
    /* 1048 */ {"UnLock the Send button.", "送信ボタンのロックを解除します。", "解除发送锁定。"},
    /* 1049 */ {"Please enter the password in the box below.", "パスワードを入力してください。", "请输入密码。"},
    /* 1050 */ {"Incorrect password.", "パスワードが異なります。", "密码错误。"},
    /* 1051 */ {"Please enter a different password.", "異なるパスワードを入力してください。", "请输入不同的密码。"},
    /* 1052 */ {"Left", "左", nullptr},
    /* 1053 */ {"Center", "中央", "中心"},
    /* 1054 */ {"Right", "右", "右边"},
    /* 1055 */ {"Scroll", "スクロール", "滚动显示"},
    /* 1056 */ {"Box", "ボックス", "对话框显示"},
    /* 1057 */ {"Pop on", "ポップオン", "弹出显示"},
    /* 1058 */ {"Picture Side", "ピクチャーサイド", "显示图像边缘"},
    /* 1059 */ {"Standard", "標準", "标准"},
    /* 1060 */ {"Double size", "倍角", nullptr},
    /* 1061 */ {"Upper", "上", nullptr},
    /* 1062 */ {"Center", "中央", "中心"},
    /* 1063 */ {"Lower", "下", nullptr},
    /* 1064 */ {"Low", "低", nullptr},
    /* 1065 */ {"Middle", "中", nullptr},
    /* 1066 */ {"High", "高", nullptr},
    /* 1067 */ {"Repeat", "繰り返し", "反复进行"},
    /* 1068 */ {"Slow", "遅い", "缓慢"},
    /* 1069 */ {"Standard", "標準", "标准"},
    /* 1070 */ {"Fast", "速い", "快速"},
    /* 1071 */ {"Repeat", "無制限", "无限制"},
    /* 1072 */ {"On", nullptr, nullptr},
    /* 1073 */ {"Off", nullptr, nullptr},
    /* 1074 */ {"Left", "左", nullptr},
    /* 1075 */ {"Right", "右", nullptr},
    /* 1076 */ {"Disable", "禁止", nullptr},
    /* 1077 */ {"Enable", "許可", "许可"},
    /* 1078 */ {"Low", "低", nullptr},
    /* 1079 */ {"Mid", "中", nullptr},
    /* 1080 */ {"High", "高", nullptr},
    /* 1081 */ {"None", "無し", "无"},
    /* 1082 */ {"Endless", "繰り返し", "无限制重放"},
    /* 1083 */ {"Repeat", "繰り返し", "反复进行"},
    /* 1084 */ {"Quick", "クイック", "快速"},
    /* 1085 */ {"None", "無し", "无"},
    /* 1086 */ {"Send[Locked]", "送信[ロック]", "发送[锁定]"},
    /* 1087 */ {"Send", "送信", "发送"},
    /* 1088 */ {"Quick", "クイック", "快速"},
    /* 1089 */ {"ALL", "すべて", "全部"},
    /* 1090 */ {"Saved number:Quick", "保存先番号:クイック", "保存号:快速"},
    /* 1091 */ {"Saved number:%d", "保存先番号:%d", "保存号:%d"},
    /* 1092 */ {"ON", nullptr, nullptr},
    /* 1093 */ {"OFF", nullptr, nullptr},
    /* 1094 */ {"Saved number:-", "保存先番号:-", "保存号:-"},
    /* 1095 */ {"Sound number:None", "サウンド番号:無し", "声音号:没有"},
    /* 1096 */ {"Sound number:%d", "サウンド番号:%d", "声音号:%d"},
    /* 1097 */ {"ON", nullptr, nullptr},
    /* 1098 */ {"OFF", nullptr, nullptr},
    /* 1099 */ {"Sound number:-", "サウンド番号:-", "声音号:-"},
    /* 1100 */ {"Cancel complete.", "キャンセル完了。", "取消完成。"},
    /* 1101 */ {"No Message Data.", "メッセージデータがありません。", "没有消息数据。"},
    /* 1102 */ {"Request illegal.", "不正な要求です。", "请求不正确。"},
    /* 1103 */ {"Request ok.", nullptr, nullptr},
    /* 1104 */ {"Projector Busy.", nullptr, nullptr},
    /* 1105 */ {"Transfer error.", nullptr, nullptr},
    /* 1106 */ {"Data Size Over.", nullptr, nullptr},
    /* 1107 */ {"TimeOut error", nullptr, nullptr},
    /* 1108 */ {"Other error", nullptr, nullptr},
    /* 1109 */ {"Communication error", nullptr, nullptr},
    /* 1110 */ {"Transfer failure", nullptr, nullptr},
    /* 1111 */ {"[Socket error]", nullptr, nullptr},
    /* 1112 */ {"[Connection error]", nullptr, nullptr},
    /* 1113 */ {"[No Response]", nullptr, nullptr},
    /* 1114 */ {"[Authentication error]", nullptr, nullptr},
    /* 1115 */ {"[Send error]", nullptr, nullptr},
    /* 1116 */ {"[Receive error]", nullptr, nullptr},
    /* 1117 */ {"[Unexpected error]", nullptr, nullptr},
    /* 1118 */ {"Now Sending...", "送信中...", "发送中..."},
    /* 1119 */ {"Now Getting...", "取得中...", "取得执行中..."},
    /* 1120 */ {"Now Controlling...", "処理中...", "处理中..."},
    /* 1121 */ {"Illegal Request.", "不正な要求です。", "请求不正确。"},
    /* 1122 */ {"Now Get Information...", "情報取得中...", "信息取得执行中..."},
    /* 1123 */ {"ERROR", nullptr, nullptr},
    /* 1124 */ {"Now Get Status...", "ステータス取得中...", "状态取得执行中..."},
    /* 1125 */ {"Complete", nullptr, nullptr},
    /* 1126 */ {"Save...", nullptr, nullptr},
    /* 1127 */ {"ReTry...", nullptr, nullptr},
    /* 1128 */ {"PROJECTOR busy...", nullptr, nullptr},
    /* 1129 */ {"Transfer failure", nullptr, nullptr},
    /* 1130 */ {"Waiting...", nullptr, nullptr},
    /* 1131 */ {"Undefined error...", nullptr, nullptr},
    /* 1132 */ {"Cancel...", nullptr, nullptr},
    /* 1133 */ {"CANCEL", nullptr, nullptr},
    /* 1134 */ {"Main", "メイン", "主要"},
    /* 1135 */ {"Discovery", "ディスカバリー", "发现"},
    /* 1136 */ {"Edit", "編集", "编辑"},
    /* 1137 */ {"PROJECTOR Name", "プロジェクター名", "投影机名"},
    /* 1138 */ {"MAC Address", "MACアドレス", "MAC地址"},
    /* 1139 */ {"IP Address", "IPアドレス", "IP地址"},
    /* 1140 */ {"No message on display.", "メッセージは表示されていません。", "无显示消息。"},
    /* 1141 */ {"Character color", "文字色", "字体颜色"},
    /* 1142 */ {"Character background color", "文字背景色", nullptr},
    /* 1143 */ {"Background color", "背景色", nullptr},
    /* 1144 */ {"Image", "イメージ", "图像"},
    /* 1145 */ {nullptr, nullptr, nullptr},
    /* 1146 */ {"All Message may not be displayed because of too many characters in the title box. (Max %d characters.)\nDo you want to proceed?", "タイトルは最大%d文字です。\nタイトルの文字数が多いため、すべての文字が表示されない可能性があります。\n続行しますか？", "标题字符最多为%d个。\n在标题框中的字符太多，邮件可能无法全部显示。\n你要继续吗？"},
    /* 1147 */ {"There is too many character in the title box.  (Max %d characters.) \nPlease delete any characters.", "タイトルは最大%d文字です。\n文字を削除してください。", "标题字符最多为%d个。请删除字符。"},
}};
// clang-format on

// Every identifier has its row and only 1145 lacks an entry; a row dropped or added above
// would shift all texts after it, so let the compiler count.
constexpr bool rowsComplete() {
    for (int i = 0; i < kRowCount; ++i) {
        const bool missing = kFirstLanguageTextId + i == 1145;
        if ((kRows[static_cast<std::size_t>(i)].english == nullptr) != missing) {
            return false;
        }
    }
    return true;
}
static_assert(rowsComplete(), "language table rows out of step with identifiers");

// The keys added since, area by area, straight from the lists that also number them.
// clang-format off
constexpr AddedTextRow kAddedRows[] = {
#define ORVANTA_TEXT(key, english, japanese, chinese) {Text::key, {english, japanese, chinese}},
#include "text/texts/FrameTexts.def"
#include "text/texts/EditTexts.def"
#include "text/texts/MainTexts.def"
#include "text/texts/DiscoveryTexts.def"
#include "text/texts/PreviewTexts.def"
#include "text/texts/CoreTexts.def"
#include "text/texts/FleetTexts.def"
#include "text/texts/TemplateTexts.def"
#include "text/texts/ScheduleTexts.def"
#undef ORVANTA_TEXT
};
// clang-format on

// Each area has two hundred numbers; one that outgrows them would take the next area's.
static_assert(static_cast<int>(Text::FrameTextsEnd) <= 2200);
static_assert(static_cast<int>(Text::EditTextsEnd) <= 2400);
static_assert(static_cast<int>(Text::MainTextsEnd) <= 2600);
static_assert(static_cast<int>(Text::DiscoveryTextsEnd) <= 2800);
static_assert(static_cast<int>(Text::PreviewTextsEnd) <= 3000);
static_assert(static_cast<int>(Text::CoreTextsEnd) <= 3200);
static_assert(static_cast<int>(Text::FleetTextsEnd) <= 3600);
static_assert(static_cast<int>(Text::TemplateTextsEnd) <= 3800);
static_assert(static_cast<int>(Text::ScheduleTextsEnd) <= 4000);

}  // namespace

std::span<const AddedTextRow> addedTextRows() {
    return kAddedRows;
}

std::optional<std::size_t> addedTextPosition(int id) {
    // The added keys are sorted by number.
    const auto* end = std::end(kAddedRows);
    const auto* it = std::lower_bound(
        std::begin(kAddedRows), end, id,
        [](const AddedTextRow& row, int wanted) { return static_cast<int>(row.key) < wanted; });
    if (it == end || static_cast<int>(it->key) != id) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - std::begin(kAddedRows));
}

const LanguageRow* languageRow(int id) {
    if (id >= kFirstLanguageTextId && id <= kLastLanguageTextId) {
        return &kRows[static_cast<std::size_t>(id - kFirstLanguageTextId)];
    }
    const std::optional<std::size_t> position = addedTextPosition(id);
    return position ? &kAddedRows[*position].texts : nullptr;
}

}  // namespace orvanta
