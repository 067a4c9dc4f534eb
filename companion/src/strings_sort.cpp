// The sort-folder library's texts: resource id -> English and Japanese text,
// sorted by id. A text given in one language serves both.
#include "string_tables.h"

namespace zv::companion::detail {

const StringEntry kSortFolderStrings[] = {
    {1, "Create binders", "バインダ構成　作成確認"},
    {2,
     "Libraries, cabinets and binders are created in the link folder after the folders of the monitored top "
     "folder.\r\nCreate them now?\r\n\r\n* Creating many items may take a while.",
     "監視対象のトップフォルダ内のフォルダ階層にしたがって、Zorvanライプラリのバインダを作成します。\r\n作成してよろし"
     "いで"
     "すか？\r\n\r\n※ 作成数が多いときには作成に時間がかかる場合があります。"},
    {3, "There is no library, cabinet or binder to create.", "作成対象の書庫／キャビネット／バインダはありません。"},
    {4, "Create", "作成"},
    {5, "Created", "作成完了"},
    {6, "The binders were created.\r\n\r\nTo link them, click \"OK\" or \"Apply\" in the settings window.",
     "Zorvanライプラリのバインダを作成しました。\r\n\r\n連携設定を行うには、設定画面の｢OK｣または｢適用｣ボタンをクリック"
     "して"
     "ください。"},
    {7, "Failed to create the following library. (ErrCode=%d)\r\n\r\n%s",
     "以下の書庫の作成に失敗しました。(ErrCode=%d)\r\n\r\n%s"},
    {8, "Failed to create the following cabinet. (ErrCode=%d)\r\n\r\n%s",
     "以下のキャビネットの作成に失敗しました。(ErrCode=%d)\r\n\r\n%s"},
    {9, "Failed to create the following binder. (ErrCode=%d)\r\n\r\n%s",
     "以下のバインダの作成に失敗しました。(ErrCode=%d)\r\n\r\n%s"},
    {10,
     "No library can be created in the link folder \"%s\": it would hold more than the maximum (6).\r\nCheck the "
     "folders of the monitored top folder.",
     "書庫が最大数(6)を超えるため、リンクフォルダ「%"
     "s」内に書庫を作成できません。\r\n監視対象のトップフォルダ内のフォルダ構成"
     "を確認してください。"},
    {11,
     "No cabinet can be created in the library \"%s\": it would hold more than the maximum (20).\r\nCheck the "
     "folders of the monitored top folder.",
     "キャビネットが最大数(20)を超えるため、書庫｢%"
     "s｣内にキャビネットを作成できません。\r\n監視対象のトップフォルダ内のフォル"
     "ダ構成を確認してください。"},
    {12,
     "No binder can be created in the cabinet \"%s\": it would hold more than the maximum (21).\r\nCheck the "
     "folders of the monitored top folder.",
     "バインダが最大数(21)を超えるため、キャビネット｢%"
     "s｣内にバインダを作成できません。\r\n監視対象のトップフォルダ内のフォル"
     "ダ構成を確認してください。"},
    {13, "Failed to create the following folder. (ErrCode=%d)\r\n\r\n%s",
     "以下のフォルダの作成に失敗しました。(ErrCode=%d)\r\n\r\n%s"},
    {14,
     "The folders were created in the monitored top folder.\r\n\r\nTo link them, click [OK] or [Apply] in the "
     "settings window.",
     "監視対象のトップフォルダ内にフォルダ階層を作成しました。\r\n\r\n連携設定を行うには、設定画面の[OK]または[適用]"
     "ボタンを"
     "クリックしてください。"},
    {15, "A folder name is too long or not valid.", "フォルダ名が長すぎるかフォルダ名に誤りがあります。"},
    {16, "Select binders", "バインダの選択"},
    {17, "Link folder: < %s > ", "リンクフォルダ名：< %s > "},
    {18, "Select all", "すべて選択"},
    {19, "Clear all", "すべて解除"},
    {20, "Create folders", "フォルダ構成を作成"},
    {21, "Cancel", "ｷｬﾝｾﾙ"},
    {22, "Create folders", "フォルダ構成　作成確認"},
    {23,
     "Folders for the selected binders are created in the monitored top folder.\r\nCreate them now?\r\n\r\n* "
     "Creating many folders may take a while.",
     "選択したバインダに該当するフォルダを監視対象のトップフォルダ内に作成します。\r\n作成してよろしいですか？\r\n\r\n※"
     " "
     "作成数が多いときには作成に時間がかかる場合があります。"},
    {24,
     "The folder \"%s\" is not a library, cabinet or binder listed in its link folder, library or cabinet: nothing "
     "is created. Rename or move the folder and try again.",
     nullptr},
    {25, "No folder can be made for the following binders: their titles are not usable as folder names.\r\n\r\n%s",
     nullptr},
    {26, "The following ticked binders would share one folder; tick only one of each.\r\n\r\n%s", nullptr},
    {27, "Open the list", nullptr},
    {28, "The monitored top folder and the link folder must not lie inside each other.", nullptr},
    {29, "(%d/%d)", nullptr},
    {30, "Another program changed the link folder meanwhile: the item below was not created.\r\n\r\n%s", nullptr},
    {63287, "Link settings           :", "連携設定                ："},
    {63288, " on", " 有効"},
    {63289, " off", " 無効"},
    {63290, "Monitored top folder    :", "監視対象のトップフォルダ："},
    {63291, "Linked link folder      :", "連携対象リンクフォルダ  ："},
    {63292, "Number of links         :", "連携設定数              ："},
    {63293, "Linked folders          :", "連携対象フォルダ        ："},
};
const std::size_t kSortFolderStringsCount = sizeof kSortFolderStrings / sizeof kSortFolderStrings[0];

}  // namespace zv::companion::detail
