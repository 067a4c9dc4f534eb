// The send-file tool's own texts and the message for each result code.
#include <cstdio>

#include "companion/strings.h"
#include "sendfile/send.h"

namespace zv::sendfile {

std::string TextOf(Text t) {
  const bool ja = companion::UserLanguage() == companion::Language::Japanese;
  switch (t) {
    case Text::Caption: return ja ? "結果通知ユーティリティ" : "Result Notice Utility";
    case Text::DropHere:
      return ja ? "ここに作業デスクのサムネイルをドロップすると\nバインダへファイルを取り込みます。"
                : "Drop work-desk thumbnails here\nto file them into a binder.";
    case Text::ConfirmWholeFiles:
      return ja ? "選択された原稿が、電子ファイルの一部を含んでいるため、\n電子ファイル及び関連ページが全て対象となりま"
                  "すが"
                  "、よろしいですか？"
                : "The selected pages include part of an electronic file,\nso the whole file and its pages will be "
                  "filed. Continue?";
    case Text::DllLoadFailed:
      return ja ? "DLLのロードに失敗しました。(Dravel.dll)" : "Failed to load the library. (Dravel.dll)";
    case Text::LinkFolderInfoFailed:
      return ja ? "リンクフォルダ情報の取得に失敗しました。" : "Failed to get the link folder information.";
    case Text::ViewerStartFailed:
      return ja ? "取り込みファイル一覧の起動に失敗しました。" : "Failed to start the import list.";
    case Text::LocalSuffix: return ja ? "[ローカル]" : "[Local]";
    case Text::UserReadFailed:
      return ja ? "ユーザー情報の読み込みに失敗しました。\nユーザー編集画面で再度登録するか、インポート機能を使って修復"
                  "して"
                  "ください。"
                : "Failed to read the user information.\nRegister the users again in the user editor, or repair them "
                  "with Import.";
    case Text::NameBlank:
      return ja ? "ユーザー名が指定されていません。\nユーザー名を指定してください。"
                : "No user name is given.\nEnter a user name.";
    case Text::NameTooLong:
      return ja ? "ユーザー名は20文字(半角換算)以内で指定する必要があります。\nユーザー名を再度指定してください。"
                : "A user name may be at most 20 characters (single-width).\nEnter the user name again.";
    case Text::NameForbidden:
      return ja ? "ユーザー名に指定できない文字(￥/:,*?<>|\"')が入力されています。\nユーザー名を再度指定してください。"
                : "The user name contains characters that are not allowed (\\/:,*?<>|\"').\nEnter the user name again.";
    case Text::TooManyUsers:
      return ja ? "ユーザー数が最大数を超えました。" : "The number of users exceeds the maximum.";
    case Text::NameTaken:
      return ja ? "ユーザー名「%s」はすでに登録されています。\n同じユーザー名は登録できません。"
                : "The user name \"%s\" is already registered.\nThe same user name cannot be registered twice.";
    case Text::ConfirmAdd:
      return ja ? "ユーザー名「%s」を追加します。\nよろしいですか？" : "Add the user name \"%s\".\nContinue?";
    case Text::ConfirmRename:
      return ja ? "ユーザー名「%s」を更新します。\nよろしいですか？" : "Update the user name \"%s\".\nContinue?";
    case Text::ConfirmDelete:
      return ja ? "ユーザー名「%s」を削除します。\nよろしいですか？" : "Delete the user name \"%s\".\nContinue?";
    case Text::SelectUser: return ja ? "ユーザーを選択してください。" : "Select a user.";
    case Text::SaveFailed: return ja ? "ユーザー情報の保存に失敗しました。" : "Failed to save the user information.";
    case Text::RenameFailed:
      return ja ? "ユーザー情報の修正に失敗しました。" : "Failed to change the user information.";
    case Text::DeleteFailed:
      return ja ? "ユーザー情報の削除に失敗しました。" : "Failed to delete the user information.";
    case Text::ConfirmImport:
      return ja ? "ユーザー情報を取り込みます。\n※以前のデータは破棄されます。\n\nインポートしてよろしいですか？"
                : "The user information will be imported.\nThe current data will be discarded.\n\nImport now?";
    case Text::ImportRefused:
      return ja ? "選択したファイルをインポートすることはできません。\n正しいファイルを選択してください。"
                : "The selected file cannot be imported.\nSelect a correct file.";
    case Text::CopyFailed: return ja ? "ファイルのコピーに失敗しました。" : "Failed to copy the file.";
    case Text::OverwriteQuestion: return ja ? "は既に存在します。上書きしますか？" : " already exists. Overwrite it?";
    case Text::EditorTitle: return ja ? "ユーザー編集画面" : "User Editor";
    case Text::MenuEditUsers: return ja ? "ユーザー編集" : "Edit Users";
    case Text::MenuTopMost: return ja ? "常に最前面に表示" : "Always on Top";
    case Text::ChooseTitle: return ja ? "登録先バインダの選択" : "Choose the Binder to File Into";
    case Text::Front: return ja ? "先頭に挿入" : "Insert at the front";
    case Text::Back: return ja ? "末尾に追加" : "Add at the end";
    case Text::Recipients: return ja ? "通知するユーザー" : "Users to notify";
    case Text::Add: return ja ? "追加" : "Add";
    case Text::Rename: return ja ? "更新" : "Update";
    case Text::Delete: return ja ? "削除" : "Delete";
    case Text::Import: return ja ? "インポート" : "Import";
    case Text::Export: return ja ? "エクスポート" : "Export";
    case Text::Close: return ja ? "閉じる" : "Close";
  }
  return {};
}

std::string OutcomeMessage(const SendOutcome& o) {
  if (o.code == 0 || o.cancelled) return {};
  const bool ja = companion::UserLanguage() == companion::Language::Japanese;
  auto tr = [&](const char* japanese, const char* english) { return std::string(ja ? japanese : english); };
  // Before the call the text asks for another binder; from the call it
  // states the refusal.
  auto refused = [&](const char* jaWhat, const char* enWhat) {
    std::string text = tr(jaWhat, enWhat);
    if (!o.fromCall) text += tr("\n他のバインダを選択してください。", "\nChoose another binder.");
    return text;
  };
  switch (o.code) {
    case -4: {
      char buf[512];
      std::snprintf(buf, sizeof buf,
                    ja ? "ページ数が最大登録ページ数(%d)を超えるため、移動できません。\n"
                         "最大登録ページ数を超えないようにして再度実行してください。"
                       : "The pages cannot be moved: their number exceeds the maximum (%d).\n"
                         "Keep within the maximum and try again.",
                    o.maxUpload);
      return buf;
    }
    case -6:
      return refused("編集中のバインダへは登録できません。", "Pages cannot be filed into a binder being edited.");
    case -8: return refused("名刺バインダへは登録できません。", "Pages cannot be filed into a business-card binder.");
    case -10: return refused("未整理バインダへは登録できません。", "Pages cannot be filed into an unsorted binder.");
    case -13:
      return tr("バインダの種類が異なるため、登録できません。",
                "The pages cannot be filed: the binder is of another kind.");
    case -14:
      return refused(
          "このバインダは本製品よりも新しいバージョン/"
          "レベルのZorvanライブラリで作られているため、この操作はできません。",
          "This binder was made by a newer version or level of the Zorvan library than this product; this operation "
          "is not possible.");
    case -15:
      return refused("年賀はがきバインダへは登録できません。", "Pages cannot be filed into a New Year card binder.");
    case -16: return refused("写真バインダへは登録できません。", "Pages cannot be filed into a photo binder.");
    case -100:
      return tr("登録先バインダが見つかりません。\nバインダの状態(存在、属性等)を確認してください。",
                "The binder to file into was not found.\nCheck the binder (whether it exists, its attributes).");
    case -101: return tr("DLLの初期化に失敗しました。(Dravel.dll)", "Failed to initialise the library. (Dravel.dll)");
    case -102: return tr("DLLの初期化に失敗しました。(Pixmoor.dll)", "Failed to initialise the library. (Pixmoor.dll)");
    case -103: return tr("DLLのロードに失敗しました。(Pixmoor.dll)", "Failed to load the library. (Pixmoor.dll)");
    default: break;
  }
  if (o.askedSource) {
    if (o.code == -12)
      return tr(
          "選択されたサムネイル内には、本製品よりも新しいバージョン/レベルのZorvanライブラリで\n"
          "作られたページがあるため、この操作はできません。",
          "The selected thumbnails hold pages made by a newer version or level of the Zorvan library\n"
          "than this product; this operation is not possible.");
    return tr("バインダへの登録処理でエラーが発生しました。\n登録元で元に戻す操作を行ってください。",
              "An error occurred while filing into the binder.\nUndo the operation at the source.");
  }
  return tr("バインダへの移動処理でエラーが発生しました。",
            "An error occurred while moving the pages into the binder.");
}

}  // namespace zv::sendfile
