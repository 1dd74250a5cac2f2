#pragma once

#include <string_view>

// The fixed texts of the operation windows, shared by the desktop program and
// velkaro-cli. Status texts name the region being worked on; messages are shown in a
// plain box with OK.
namespace velkaro::msg {

// ---- Read window ----
inline constexpr std::string_view kReadCaption = "デバイスからの読み込み";
inline constexpr std::string_view kReadProgEn = "プログラムメモリを読み込む";
inline constexpr std::string_view kReadDataEn = "データメモリを読み込む";
inline constexpr std::string_view kReadingProgram = "プログラムメモリ読み込み中...";
inline constexpr std::string_view kReadingConfig = "コンフィグレーション読み込み中...";
inline constexpr std::string_view kReadingData = "データメモリ読み込み中...";

// ---- Blank-check window ----
inline constexpr std::string_view kBlankCaption = "ブランクチェック";
inline constexpr std::string_view kBlankProgEn = "プログラムメモリをチェック";
inline constexpr std::string_view kBlankDataEn = "データメモリをチェック";
// 6-bit command family.
inline constexpr std::string_view kBlankCheckingProgram = "プログラムメモリをチェック中...";
inline constexpr std::string_view kBlankCheckingData = "データメモリをチェック中...";
// 16-bit core family.
inline constexpr std::string_view kBlankCheckingProgram16 = "プログラムメモリチェック中...";
inline constexpr std::string_view kBlankCheckingConfig16 = "コンフィグレーションチェック中...";
inline constexpr std::string_view kBlankCheckingData16 = "データメモリチェック中...";
inline constexpr std::string_view kDeviceIsBlank = "デバイスはブランクです。";

// ---- Verify window ----
inline constexpr std::string_view kVerifyCaption = "デバイスの比較";
inline constexpr std::string_view kVerifyProgEn = "プログラムメモリを比較";
inline constexpr std::string_view kVerifyDataEn = "データメモリを比較";
inline constexpr std::string_view kVerifyingProgram = "プログラムメモリ比較中...";
inline constexpr std::string_view kVerifyingConfig = "コンフィグメモリ比較中...";        // 6-bit
inline constexpr std::string_view kVerifyingConfig16 = "コンフィグレーション比較中...";  // 16-bit
inline constexpr std::string_view kVerifyingData = "データメモリ比較中...";
inline constexpr std::string_view kVerifyNoErrors = "ベリファイでエラーは見つかりませんでした。";
// Why a protected chip differs (after the region's own message, "\r" between them), and what
// a read of one holds.
inline constexpr std::string_view kChipProtected =
    "デバイスはプロテクトされています。保護された領域は0として読み出されます"
    "（コンフィグレーションは読み出せます）。";

// ---- Write window ----
inline constexpr std::string_view kWriteCaption = "デバイスへの書き込み";
inline constexpr std::string_view kWriteProgEn = "プログラムメモリを書き込む";
inline constexpr std::string_view kWriteDataEn = "データメモリを書き込む";
inline constexpr std::string_view kWriteOscCal = "OSCCALとBGはデバイスの値を使用";
inline constexpr std::string_view kWritingProgram = "プログラムメモリ書き込み中...";
inline constexpr std::string_view kWritingData = "データメモリ書き込み中...";
inline constexpr std::string_view kWriteImpossible = "デバイスの書き込みができません。";
// Second lines of the configuration error after a configuration write that did not take.
inline constexpr std::string_view kConfigWriteProtectedReason =
    "コンフィグレーションが書き込み保護(WRTC)されています。書き換えるには、データメモリも選んで"
    "デバイス全体を消去してから書き込んでください。";
inline constexpr std::string_view kConfigNotTakenReason =
    "書き込んだコンフィグレーションを読み出すと、値が異なっていました。";

// ---- Device-ID window and the ID question of the erase, write and automatic windows ----
inline constexpr std::string_view kDevIdCaption = "デバイスIDの確認";
inline constexpr std::string_view kDevIdLabel = "デバイスID";
inline constexpr std::string_view kDevIdRevisionLabel = "リビジョン";
inline constexpr std::string_view kDevIdDeviceLabel = "デバイスIDが一致するデバイス";
inline constexpr std::string_view kDevIdRecheck = "更新";
inline constexpr std::string_view kDevIdRecheckHint = "デバイスを変更します";
inline constexpr std::string_view kDevIdMatched = "※デバイスIDが一致しました";
inline constexpr std::string_view kDevIdNotMatched = "※デバイスIDが一致しません";
inline constexpr std::string_view kDevIdUnavailable =
    "デバイスIDをサポートしていないか、デバイスIDが読み込めませんでした。";
inline constexpr std::string_view kDevIdNoValue = "----";
inline constexpr std::string_view kDevIdCheckOption = "デバイスIDを確認する";
// Asked before erasing after a mismatch ("\r" separates the two lines, as in a message box).
inline constexpr std::string_view kDevIdMismatchEraseQuestion =
    "デバイスIDが一致しませんでした。デバイスが間違っている可能性があります。\r"
    "デバイスIDを無視して実行しますか？";
// Asked before writing (write window, automatic sequence) after a mismatch.
inline constexpr std::string_view kDevIdMismatchWriteQuestion =
    "デバイスIDが一致しませんでした。デバイスが間違っている可能性があります。\r"
    "デバイスIDを無視して書き込みますか？";
// The line a mismatch question gets below its first one: the chip in the socket, by the
// device list's owner of the ID read ("不明" when no listed device has it), and the raw ID.
inline constexpr std::string_view kDevIdFoundLabel = "検出されたデバイス: ";
inline constexpr std::string_view kDevIdFoundUnknown = "不明";
inline constexpr std::string_view kDevIdFoundIdLabel = "デバイスID ";

// The reason below "ハードウェアのエラーが発生しました。" when the device-ID location read as
// all ones or all zeros: the chip never entered programming mode.
inline constexpr std::string_view kNotInProgrammingMode =
    "デバイスがプログラミングモードになりませんでした（デバイスIDが読めません）。"
    "デバイスの接続と電源の順序を確認してください。";

// The same after the low-voltage key: a chip with LVP 0 ignores it.
inline constexpr std::string_view kNotInProgrammingModeLvp =
    "デバイスが低電圧(LVP)でプログラミングモードになりませんでした（デバイスIDが読めません）。"
    "LVPが無効のデバイスは高電圧で書き込んでください。";

// Asked before writing a configuration that this programmer could not get the chip out of.
inline constexpr std::string_view kLockOutQuestion =
    "書き込むコンフィグレーションは内部発振器を使用し、MCLRが無効になっています。\r"
    "このプログラマはVPPより先にVDDを加えるため、書き込んだ後はデバイスをプログラミング"
    "モードにできず、読み込みも書き換えもできなくなります。\r"
    "このまま書き込みますか？";

// Asked before writing, by the low-voltage entry, a configuration that clears LVP.
inline constexpr std::string_view kLvpOffQuestion =
    "書き込むコンフィグレーションはLVPが無効になっています。\r"
    "書き込んだ後はデバイスを低電圧(LVP)でプログラミングモードにできず、"
    "高電圧を出せるプログラマでなければ読み込みも書き換えもできなくなります。\r"
    "このまま書き込みますか？";

// ---- Erase window ----
inline constexpr std::string_view kEraseCaption = "デバイスの消去";
inline constexpr std::string_view kEraseProgEn = "プログラム領域を消去";
inline constexpr std::string_view kEraseDataEn = "データ領域を消去";
inline constexpr std::string_view kEraseBuffClear = "バッファをクリアする";
inline constexpr std::string_view kEraseOscCalEn = "OSCCALとBGデータを残す";
inline constexpr std::string_view kErasingData = "データメモリ消去中...";
inline constexpr std::string_view kEraseFailed = "デバイスの消去に失敗しました。";

// ---- Write of the 16-bit core family ----
inline constexpr std::string_view kWritingConfig16 = "コンフィグメモリ書き込み中...";
// The write window's erase before writing failed (the link's own message came first).
inline constexpr std::string_view kWriteEraseFailed =
    "デバイスの消去ができませんでした。デバイスとプログラマを確認してください。";

// ---- Automatic program window ----
inline constexpr std::string_view kProgCaption = "プログラム";
inline constexpr std::string_view kProgBlankEn = "ブランクチェックを行う";
inline constexpr std::string_view kProgVerifyEn = "ベリファイを行う";
// Step texts, appended to the window caption after two blanks while the step runs.
inline constexpr std::string_view kProgStepDeviceId = "-- デバイスIDの確認 --";
inline constexpr std::string_view kProgStepOscCal = "-- OSCCALの読み込み --";
inline constexpr std::string_view kProgStepErase = "-- データ消去 --";
inline constexpr std::string_view kProgStepBlankCheck = "-- ブランクチェック --";
inline constexpr std::string_view kProgStepWrite = "-- データの書き込み --";
inline constexpr std::string_view kProgStepVerify = "-- データベリファイ --";
inline constexpr std::string_view kProgStepConfigWrite = "-- コンフィグデータの書き込み --";
inline constexpr std::string_view kProgStepConfigCheck = "-- コンフィグデータのチェック --";
inline constexpr std::string_view kProgEraseFailed = "データの消去でエラーが発生しました。";
inline constexpr std::string_view kProgDone = "プログラムは正常に終了しました。";

}  // namespace velkaro::msg

namespace velkaro::msg {

// ---- OSCCAL calibration window ----
inline constexpr std::string_view kOscCalCaption = "OSCCALの調整";
// Asked before the calibration program replaces the buffer ("\r" separates the lines).
inline constexpr std::string_view kOscCalLoadQuestion =
    "OSCCALの調整には、調整プログラムをデバイスに書き込む必要があります。\r"
    "プログラムをロードしてよろしいですか？";
inline constexpr std::string_view kOscCalNoValue = "---";
inline constexpr std::string_view kOscCalMeasuring = "※周波数測定中．．．";
inline constexpr std::string_view kOscCalNeedsUpdate = "※OSCCALの更新を行ってください。";
inline constexpr std::string_view kOscCalCannotMeasure =
    "周波数の測定ができません。OSCCALの更新を行って、測定プログラムを書き込んでください。";
inline constexpr std::string_view kOscCalNoRecommendation =
    "推奨値が計算できません。手動で値を入力してください。";
inline constexpr std::string_view kOscCalRight = "※OSCCALの設定は適正値です。";
inline constexpr std::string_view kOscCalUpdate = "※OSCCALの設定を更新してください。";
inline constexpr std::string_view kOscCalCurrentLabel = "現在のOSCCALの値";
inline constexpr std::string_view kOscCalFrequencyLabel = "1MHzの測定値";
inline constexpr std::string_view kOscCalErrorLabel = "1MHzに対する誤差(%)";
inline constexpr std::string_view kOscCalRecommendedLabel = "OSCCALの推奨値";
inline constexpr std::string_view kOscCalRemeasure = "再測定";
inline constexpr std::string_view kOscCalWrite = "更新";

}  // namespace velkaro::msg
