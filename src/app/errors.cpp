#include "app/errors.h"

namespace pikorina {

std::string_view ErrorText(int number) {
    switch (number) {
    case kErrInvalidCall: return "プロシージャの呼び出し、または引数が不正です。";
    case kErrOverflow: return "オーバーフローしました。";
    case kErrOutOfMemory: return "メモリが不足しています。";
    case kErrSubscript: return "インデックスが有効範囲にありません。";
    case kErrFileNotFound: return "ファイルが見つかりません。";
    case kErrInputPastEnd: return "ファイルにこれ以上データがありません。";
    case kErrPermissionDenied: return "書き込みできません。";
    case kErrPathFileAccess: return "パス名が無効です。";
    case kErrPathNotFound: return "パスが見つかりません。";
    case kErrInvalidPropertyIndex: return "プロパティの配列のインデックスが無効です。";
    default: return "アプリケーション定義またはオブジェクト定義のエラーです。";
    }
}

RuntimeError::RuntimeError(int number, std::string path)
    : std::runtime_error(std::string(ErrorText(number))), number_(number), path_(std::move(path)) {}

std::string ReportText(const RuntimeError& e) {
    std::string text = "実行時エラー '" + std::to_string(e.number()) + "':\r\n\r\n" + e.what();
    if (!e.path().empty()) text += "\r\n" + e.path();
    return text;
}

} // namespace pikorina
