// A main window on a throw-away program directory with chosen grep program
// files, the recording user interface, and restarts on the same directory.
#pragma once

#include "app/main_window.h"
#include "platform/recording_ui.h"
#include "tests/support/program_dir.h"

#include <initializer_list>
#include <memory>
#include <string>

namespace talvo::test {

// Code-page-932 spellings of the talvo.ini names the tests write by hand.
namespace cp932 {
inline const std::string kPosition = "[\x88\xca\x92\x75]\r\n"; // [位置]
inline const std::string kLeft = "\x8d\xb6";                   // 左
inline const std::string kTop = "\x83\x67\x83\x62\x83\x76";    // トップ
inline const std::string kTiny = "[\x83\x5e\x83\x43\x83\x6a\x83\x42\x89\xe6\x96\xca]\r\n";
inline const std::string kFlag = "\x83\x74\x83\x89\x83\x4f"; // フラグ
inline const std::string kGrep = "[\x8b\x4e\x93\xae\x8e\x9e\x82\xcc"
                                 "GREP]\r\n";
inline const std::string kGrepNumber = "GREP\x94\xd4\x8d\x86"; // GREP番号
inline const std::string kTalvoOptions =
    "[TALVO\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\r\n"; // [TALVOオプション]
inline const std::string kShowOptions =
    "\xb5\xcc\xdf\xbc\xae\xdd\xcc\xda\xb0\xd1\x82\xf0\x95\x5c\x8e\xa6"; // ｵﾌﾟｼｮﾝﾌﾚｰﾑを表示
inline const std::string kDefaultFileAtStart =
    "\x8b\x4e\x93\xae\x8e\x9e\x82\xc9\xc3\xde\xa8\xcc\xab\xb0\xd9\xc4\xcc\xa7\xb2\xd9";
inline const std::string kDefaultFileSection = "[\x83\x66\x83\x42\x83\x74\x83\x48\x81\x5b\x83\x8b"
                                               "\x83\x67\x83\x74\x83\x40\x83\x43\x83\x8b]\r\n";
inline const std::string kFileName = "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc"; // ファイル名
} // namespace cp932

class WindowRig {
public:
    explicit WindowRig(std::initializer_list<const char*> programFiles);

    // A new window on the directory, loaded; the old one (if any) is gone.
    app::MainWindow& start();
    app::MainWindow& window() { return *window_; }
    // A window constructed but not loaded.
    app::MainWindow& create();

    ProgramDir dir;
    platform::RecordingUserInterface ui;
    int ended = 0;

    std::string ini() const { return dir.read("talvo.ini"); }
    void writeIni(const std::string& bytes) const { dir.write("talvo.ini", bytes); }

private:
    std::unique_ptr<app::MainWindow> window_;
};

inline constexpr std::initializer_list<const char*> kAllPrograms = {
    "cgrep.exe", "dgrep.exe", "izgrep.exe", "jgrep.exe", "wgrep.com", "ygrep.exe"};

} // namespace talvo::test
