// The send-file tool's own texts and the message for each result code.
#include <cstdio>

#include "sendfile/send.h"

namespace zv::sendfile {

std::string TextOf(Text t) {
  switch (t) {
    case Text::Caption: return "結果通知ユーティリティ";
    case Text::DropHere: return "ここに作業デスクのサムネイルをドロップすると\nバインダへファイルを取り込みます。";
    case Text::ConfirmWholeFiles:
      return "選択された原稿が、電子ファイルの一部を含んでいるため、\n電子ファイル及び関連ページが全て対象となりますが"
             "、よろしいですか？";
    case Text::DllLoadFailed: return "DLLのロードに失敗しました。(Dravel.dll)";
    case Text::LinkFolderInfoFailed: return "リンクフォルダ情報の取得に失敗しました。";
    case Text::ViewerStartFailed: return "取り込みファイル一覧の起動に失敗しました。";
    case Text::LocalSuffix: return "[ローカル]";
    case Text::UserReadFailed:
      return "ユーザー情報の読み込みに失敗しました。\nユーザー編集画面で再度登録するか、インポート機能を使って修復して"
             "ください。";
    case Text::NameBlank: return "ユーザー名が指定されていません。\nユーザー名を指定してください。";
    case Text::NameTooLong:
      return "ユーザー名は20文字(半角換算)以内で指定する必要があります。\nユーザー名を再度指定してください。";
    case Text::NameForbidden:
      return "ユーザー名に指定できない文字(￥/:,*?<>|\"')が入力されています。\nユーザー名を再度指定してください。";
    case Text::TooManyUsers: return "ユーザー数が最大数を超えました。";
    case Text::NameTaken: return "ユーザー名「%s」はすでに登録されています。\n同じユーザー名は登録できません。";
    case Text::ConfirmAdd: return "ユーザー名「%s」を追加します。\nよろしいですか？";
    case Text::ConfirmRename: return "ユーザー名「%s」を更新します。\nよろしいですか？";
    case Text::ConfirmDelete: return "ユーザー名「%s」を削除します。\nよろしいですか？";
    case Text::SelectUser: return "ユーザーを選択してください。";
    case Text::SaveFailed: return "ユーザー情報の保存に失敗しました。";
    case Text::RenameFailed: return "ユーザー情報の修正に失敗しました。";
    case Text::DeleteFailed: return "ユーザー情報の削除に失敗しました。";
    case Text::ConfirmImport:
      return "ユーザー情報を取り込みます。\n※以前のデータは破棄されます。\n\nインポートしてよろしいですか？";
    case Text::ImportRefused:
      return "選択したファイルをインポートすることはできません。\n正しいファイルを選択してください。";
    case Text::CopyFailed: return "ファイルのコピーに失敗しました。";
    case Text::OverwriteQuestion: return "は既に存在します。上書きしますか？";
    case Text::EditorTitle: return "ユーザー編集画面";
    case Text::MenuEditUsers: return "ユーザー編集";
    case Text::MenuTopMost: return "常に最前面に表示";
    case Text::ChooseTitle: return "登録先バインダの選択";
    case Text::Front: return "先頭に挿入";
    case Text::Back: return "末尾に追加";
    case Text::Recipients: return "通知するユーザー";
    case Text::Add: return "追加";
    case Text::Rename: return "更新";
    case Text::Delete: return "削除";
    case Text::Import: return "インポート";
    case Text::Export: return "エクスポート";
    case Text::Close: return "閉じる";
  }
  return {};
}

std::string OutcomeMessage(const SendOutcome& o) {
  if (o.code == 0 || o.cancelled) return {};
  // Before the call the text asks for another binder; from the call it
  // states the refusal.
  auto pick = [&](const char* before, const char* fromCall) { return std::string(o.fromCall ? fromCall : before); };
  switch (o.code) {
    case -4: {
      char buf[512];
      std::snprintf(buf, sizeof buf,
                    "ページ数が最大登録ページ数(%d)を超えるため、移動できません。\n"
                    "最大登録ページ数を超えないようにして再度実行してください。",
                    o.maxUpload);
      return buf;
    }
    case -6:
      return pick("編集中のバインダへは登録できません。\n他のバインダを選択してください。",
                  "編集中のバインダへは登録できません。");
    case -8:
      return pick("名刺バインダへは登録できません。\n他のバインダを選択してください。",
                  "名刺バインダへは登録できません。");
    case -10:
      return pick("未整理バインダへは登録できません。\n他のバインダを選択してください。",
                  "未整理バインダへは登録できません。");
    case -13: return "バインダの種類が異なるため、登録できません。";
    case -14:
      return pick(
          "このバインダは本製品よりも新しいバージョン/"
          "レベルのZorvanライブラリで作られているため、この操作はできません。\n"
          "他のバインダを選択してください。",
          "このバインダは本製品よりも新しいバージョン/"
          "レベルのZorvanライブラリで作られているため、この操作はできません。");
    case -15:
      return pick("年賀はがきバインダへは登録できません。\n他のバインダを選択してください。",
                  "年賀はがきバインダへは登録できません。");
    case -16:
      return pick("写真バインダへは登録できません。\n他のバインダを選択してください。",
                  "写真バインダへは登録できません。");
    case -100: return "登録先バインダが見つかりません。\nバインダの状態(存在、属性等)を確認してください。";
    case -101: return "DLLの初期化に失敗しました。(Dravel.dll)";
    case -102: return "DLLの初期化に失敗しました。(Pixmoor.dll)";
    case -103: return "DLLのロードに失敗しました。(Pixmoor.dll)";
    default: break;
  }
  if (o.askedSource) {
    if (o.code == -12)
      return "選択されたサムネイル内には、本製品よりも新しいバージョン/レベルのZorvanライブラリで\n"
             "作られたページがあるため、この操作はできません。";
    return "バインダへの登録処理でエラーが発生しました。\n登録元で元に戻す操作を行ってください。";
  }
  return "バインダへの移動処理でエラーが発生しました。";
}

}  // namespace zv::sendfile
