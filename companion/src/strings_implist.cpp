// The import-list viewer's texts: resource id -> English and Japanese text,
// sorted by id. The viewer names every id once (implist/ui/texts.h).
#include "string_tables.h"

namespace zv::companion::detail {

const StringEntry kImportListStrings[] = {
    {1, "Zorvan Library Link Software Import File List", "Zorvanライブラリ　連携ソフトウェア　取り込みファイル一覧"},
    {2, "Import File List Settings", "取り込みファイル一覧　環境設定"},
    {3, "Import Date", "取り込み日時"},
    {4, "Name", "名称"},
    {5, "Result", "結果"},
    {6, "Link Folder Name: Binder Name / Index", "リンクフォルダ名称：バインダ名／インデックス"},
    {7, "○", "○"},
    {8, "×", "×"},
    {9, "Folder:%s\\%s", "フォルダ:%s\\%s"},
    {10, "Work Desk", "作業デスク"},
    {11, "Last update:%s", "最終更新時刻:%s"},
    {12, "Starting the import file list.", "取り込みファイル一覧を起動しています。"},
    {13, "Please wait until it is shown.", "表示までしばらくお待ちください。"},
    {14, "There are new import results.", "取り込み結果の新着情報があります。"},
    {15, "Click here to turn this notice off", "この通知を無効にするには、ここをクリックしてください"},
    {16, "The import settings of the link software were changed. Press the Setting button and check the settings.",
     "連携ソフトウェアの取り込み設定が変更されました。設定ボタンを押して、設定を確認してください。"},
    {17,
     "A short notice interval for shared machines' import files\nloads the network, so a longer interval is "
     "recommended.\n\nSave the settings as they are?\n\nPress \"Yes\" to save the settings.\nPress \"No\" to return "
     "to the settings window.",
     "共有マシンの取り込みファイルの通知間隔が短いと\nネットワークに負荷がかかるため、通知間隔を長めに設定する\nことを"
     "お勧めします。\n\nこのまま設定を保存しますか？\n\n「はい」を押すと設定を保存します。\n「いいえ」を押すと設定画面"
     "に戻"
     "ります。"},
    {18, "Select the file to play", "再生するファイルを選択してください"},
    {19, "Sound files(*.wav)", "音声ファイル(*.wav)"},
    {20,
     "The import file list will be closed.\n\nWhen \"Start the import file list after importing\" is off in the "
     "link\nsoftware's settings, or when results imported on other PCs\nare to be shown, import results will not be "
     "shown.\n\nDo you really want to close the import file list?\n\n\"Yes\" : close the import file list.\n\"No\" : "
     "minimize the import file list\n\"Cancel\" : close this message",
     "取り込みファイル一覧を終了します。\n\n連携ソフトウェアの環境設定で「取り込み後に、\n取り込みファイル一覧を起動し"
     "ま"
     "す」が無効のときや、\n他のPC上で取り込まれた結果を表示する設定にしている\nときには、取り込み結果が表示されません"
     "。"
     "\n\n本当に、取り込みファイル一覧を終了しますか？\n\n「はい」 ： 取り込みファイル一覧を終了します。\n「いいえ」 "
     "： 取"
     "り込みファイル一覧を最小化します\n「キャンセル」 ： このメッセージを閉じます"},
    {21, "Closing the import file list.", "取り込みファイル一覧を終了しています。"},
    {22, "Please wait until it has closed.", "終了までしばらくお待ちください。"},
    {23, "The list could not be updated because files are being updated.\nPress the Update button again later.",
     "ファイル更新中のため表示を更新できませんでした。\nしばらくしてから再度更新ボタンを押してください。"},
    {24, "Import results are being collected; the operation is not possible now.\nWait a moment and try again.",
     "取り込み結果情報を取得中のため操作できません。\nしばらく待ってから再度実行してください。"},
    {25, "No link folder is set.\nCheck the environment of Zorvan Library Personal.",
     "リンクフォルダが設定されていません。\nZorvanライブラリ パーソナルの環境を確認してください。"},
    {26, "The following link folder cannot be reached.\nCheck the environment.\n%s",
     "以下のリンクフォルダに接続できません。\n環境を確認してください。\n%s"},
    {27, "The settings cannot be written.\nCheck the environment.",
     "設定情報を書き込むことができません。\n環境を確認してください。"},
    {28, "The settings could not be saved.\nCheck the environment.",
     "設定情報の保存に失敗しました。\n環境を確認してください。"},
    {29, "Before using the import file list, press the Setting button and make the settings first.",
     "取り込みファイル一覧を使うときは最初に設定ボタンを押して設定を行ってください。"},
    {30, "No file to play on new results is set.", "新着時に再生するファイルが指定されていません。"},
    {31, "The file to play on new results cannot be found.", "新着時に再生するファイルが見つかりません。"},
    {32,
     "The import file list's icon could not be shown in the notification area.\nStart the import file list from the "
     "start menu.",
     "取り込みファイル一覧のタスクトレイアイコン表示に失敗しました。\nスタートメニューから取り込みファイル一覧を起動し"
     "て"
     "ください。"},
    {33, "Memory allocation failed: data file read area", "メモリ確保に失敗しました:データファイル読み込み領域"},
    {34, "Notifying user %s of the import result failed. (Error code: %s)\r\n",
     "ユーザー%sへの取り込み結果の通知に失敗しました。(エラーコード：%s）\r\n"},
    // Buttons and labels of the window.
    {40, "Setting", "設定"},
    {41, "Update", "更新"},
    {42, "Run Viewer", "ビューア起動"},
    {43, "Run Viewer(Edit)", "ビューア起動(編集)"},
    {44, "Print", "印刷"},
    {45, "Remove", "削除"},
    {46, "from List", "一覧から"},
    {47, "from Binder", "バインダから"},
    {48, "Close", "閉じる"},
    // The settings dialog.
    {60, "Collection", "取り込み結果の取得"},
    {61, "Notice interval (0-999 seconds)", "通知間隔(0～999秒)"},
    {62, "Keep results on the server (0-999 days)", "サーバーの取り込み結果の保存期間(0～999日)"},
    {63, "Remove list entries older than (1-99 days)", "一覧から古い取り込み結果を削除する(1～99日)"},
    {64, "Entries shown (1-1000 records)", "表示件数(1～1000件)"},
    {65, "On new results", "新着時"},
    {66, "Keep the window hidden", "画面を表示しない"},
    {67, "Show the window without activating it", "画面を表示する"},
    {68, "Show the window in front", "画面を最前面に表示する"},
    {69, "Show a notice in the notification area", "通知領域に通知を表示する"},
    {70, "Play a sound", "音を鳴らす"},
    {71, "Select", "選択"},
    {72, "Imports without a link folder", "リンクフォルダのない取り込み"},
    {73, "Show", "表示する"},
    {74, "Hide", "表示しない"},
    {75, "Show when no link folder entry claims them", "どのリンクフォルダにも該当しないときに表示する"},
    {76, "Tidy the results of all users", "全ユーザーの取り込み結果を整理する"},
    {77, "Monitor settings shown for link folder", "表示する監視設定　リンクフォルダ"},
    {78, "Setting %s", "設定%s"},
    {79, "OK", "OK"},
    {80, "Cancel", "キャンセル"},
    // The operations on listed imports (implist/operations.h).
    {301, "Several rows are selected, so the viewer cannot be started.\nSelect one row only.",
     "複数行が選択されているためビューアを起動できません。\n１行だけを選択してください。"},
    {302, "The work desk is not installed.\nCheck the environment.",
     "作業デスクがインストールされていません。\n環境を確認してください。"},
    {303, "The work desk could not be started.", "作業デスクの起動に失敗しました。"},
    {304, "Starting the Zorvan viewer.", "Zorvanビューアを起動しています。"},
    {305, "If files are being filed into this binder,", "このバインダにファイルを登録中の場合、"},
    {306, "the binder is shown when the filing is complete.", "登録が完了した後に表示されます。"},
    {307, "Please wait.", "表示までしばらくお待ちください。"},
    {308, "The page was not found.        \nThe first page is opened.",
     "指定されたページが見つかりません。        \n先頭ページを開きます。"},
    {309, "The selected binder is in use, or the network is disconnected.\nThe operation cannot be carried out.",
     "選択されたバインダが使用中か、\nネットワークが切断されているため操作できません。"},
    {310, "The viewer could not be started (%d)", "ビューアの起動に失敗しました(%d)"},
    {311, "The Zorvan viewer could not be started. Check the environment.",
     "Zorvanビューアの起動に失敗しました。環境を確認してください。"},
    {312, "No Install Zorvan Reader.\nPlease install Zorvan Reader.", nullptr},
    {313, "The file was not found.", "指定されたファイルが見つかりません。"},
    {314, "No application is associated with the file.", "ファイルに関連付けられたアプリケーションがありません。"},
    {315, "Printing failed. Check the environment.", "印刷に失敗しました。環境を確認してください。"},
    {316,
     "The pages were edited after the import, or the binder was not found, so the operation cannot be carried out.",
     "ファイル取り込み以降にページが編集されたか、バインダが見つからないため実行することができません。"},
    {317,
     "The binder was not found.\nCheck the link folder set in the environment settings (existence, attributes and "
     "so on)\nand the binder.",
     "バインダが見つかりません。\n環境設定で指定されているリンクフォルダの状態(存在、属性等)や\nバインダの状態を確認"
     "してください。"},
    {318, "The selected import results are removed.\n\nRemove them?",
     "選択した取り込み結果を削除します。\n\n削除してもよろしいですか？"},
    {319, "Confirm removal", "削除の確認"},
    {320, "The pages are removed from the binder. Continue?", "バインダからページを削除します。よろしいですか？"},
    {321, "Removing pages.", "ページを削除しています。"},
    {322, "Please wait until the removal is complete.", "削除完了までしばらくお待ちください。"},
    {323, "When many pages are removed,", "多くのページを削除する場合は"},
    {324, "it may take a while.", "完了まで時間がかかる場合があります。"},
    {325, "The binder does not exist.", "バインダが存在しません。"},
    {326, "The binder is in use, so the pages cannot be removed.", "バインダが使用中のため削除できません。"},
    {327, "The binder holds electronic data, so the pages cannot be removed.",
     "バインダ内に電子データがあるため削除できません。"},
    {328, "The binder was edited, so the pages cannot be removed.\nRemove them in the Zorvan viewer.",
     "バインダが編集されているため削除できません。\nZorvanビューアで削除してください。"},
    {329, "The following pages could not be removed: %d-%d(ERROR=%d)",
     "次のページの削除に失敗しました：%d-%d(ERROR=%d)"},
    {330, "The pages were removed.", "ページの削除が完了しました。"},
    {331, "Import results are being collected, so the operation is not possible.\nPlease try again later.",
     "取り込み結果情報を取得中のため操作できません。\nしばらく待ってから再度実行してください。"},
    {332, "The pages of an automatic import cannot be removed from the binder here.\nRemove them in the Zorvan viewer.",
     "自動取り込みのページはここではバインダから削除できません。\nZorvanビューアで削除してください。"},
    {333, "The tool did not finish within %d seconds and was stopped.",
     "ツールが%d秒以内に終了しなかったため停止しました。"},
};
const std::size_t kImportListStringsCount = sizeof(kImportListStrings) / sizeof(kImportListStrings[0]);

}  // namespace zv::companion::detail
