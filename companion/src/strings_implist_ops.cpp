// The import list's texts for the operations on listed imports (view,
// print, removal): resource id -> English and Japanese text, sorted by id.
// A text given in one language serves both.
#include "string_tables.h"

namespace zv::companion::detail {

const StringEntry kImportListOpsStrings[] = {
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
const std::size_t kImportListOpsStringsCount = sizeof kImportListOpsStrings / sizeof kImportListOpsStrings[0];

}  // namespace zv::companion::detail
