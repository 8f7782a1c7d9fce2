#include "app/errors.h"

#include <new>
#include <stdexcept>

namespace pikorina {

std::string_view ErrorText(int number) {
    switch (number) {
    case kErrInvalidCall: return "プロシージャの呼び出し、または引数が不正です。";
    case kErrOverflow: return "オーバーフローしました。";
    case kErrOutOfMemory: return "メモリが不足しています。";
    case kErrSubscript: return "インデックスが有効範囲にありません。";
    case kErrInternal: return "内部エラーです。";
    case kErrFileNotFound: return "ファイルが見つかりません。";
    case kErrInputPastEnd: return "ファイルにこれ以上データがありません。";
    case kErrPermissionDenied: return "書き込みできません。";
    case kErrPathFileAccess: return "パス名が無効です。";
    case kErrPathNotFound: return "パスが見つかりません。";
    case kErrInvalidPropertyIndex: return "プロパティの配列のインデックスが無効です。";
    default: return "アプリケーション定義またはオブジェクト定義のエラーです。";
    }
}

RuntimeError::RuntimeError(int number, std::string path, TextPlace place)
    : std::runtime_error(std::string(ErrorText(number))), number_(number), path_(std::move(path)),
      place_(place) {}

RuntimeError FailureOf(const std::exception_ptr& exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const RuntimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(kErrOutOfMemory);
    } catch (const std::length_error&) {
        return RuntimeError(kErrOutOfMemory); // a string or array asked to grow past its limit
    } catch (const std::out_of_range&) {
        return RuntimeError(kErrSubscript);
    } catch (const std::overflow_error&) {
        return RuntimeError(kErrOverflow);
    } catch (const std::range_error&) {
        return RuntimeError(kErrOverflow);
    } catch (...) {
        return RuntimeError(kErrInternal);
    }
}

std::string ReportText(const RuntimeError& e) {
    std::string text = "実行時エラー '" + std::to_string(e.number()) + "':\r\n\r\n" + e.what();
    if (!e.path().empty()) text += "\r\n" + e.path();
    // Where to look in a file edited by hand. A quotation mark that was never closed opens the
    // failing record, so its line is the record's.
    if (const TextPlace& place = e.place(); place.line != 0) {
        text += "\r\n" + std::to_string(place.line) +
                (place.unclosedQuote ? " 行目の「\"」が閉じていません。"
                                     : " 行目から始まる項目を読み込めません。");
    }
    return text;
}

} // namespace pikorina
