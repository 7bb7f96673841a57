#pragma once
// The main window's own texts: tab captions, command captions, menu entries and messages.

#include <QString>

namespace wavelot::ui_text {

using namespace Qt::Literals::StringLiterals;

inline const QString kTabs[4] = {u"電台搜尋"_s, u"我的最愛"_s, u"排程工作"_s, u"播放日誌"_s};

// Captions by command index; 3 and 7 change with the recording and mute state.
inline const QString kCaptions[15] = {u"搜  尋"_s, u"播放電台"_s, u"停止播放"_s, u"開始錄音"_s, u"等化器"_s,
                                      u"選 項"_s,  u"離 開"_s,    u"靜 音"_s,    u"新 增"_s,    u"編 輯"_s,
                                      u"刪 除"_s,  u"匯 出"_s,    u"匯 入"_s,    u"A > Z"_s,    u"Z > A"_s};
// The play command with no station selected and none played before.
inline const QString kNoStationToPlay = u"尚未選擇電台，請先在清單中選擇要播放的電台"_s;
inline const QString kStopRecording = u"停止錄音"_s;
inline const QString kUnmute = u"解除靜音"_s;

inline const QString kSearchColumns[4] = {u"電台名稱"_s, u"類型"_s, u"頻率"_s, u"聽眾"_s};
inline const QString kStationColumn = u"電台名稱"_s;

inline const QString kSearching = u"搜尋中 . . ."_s;

inline const QString kAddToFavorites = u"加入我的最愛"_s;
inline const QString kAddToJobs = u"加入排程工作"_s;
inline const QString kMenuAddStation = u"新增電台"_s;
inline const QString kMenuEditStation = u"編輯電台"_s;
inline const QString kMenuDeleteStation = u"刪除電台"_s;
inline const QString kMenuExportList = u"匯出電台清單"_s;
inline const QString kMenuImportList = u"匯入電台清單"_s;
inline const QString kAskCopyToFavorites = u"您確定要複製指定的電台到我的最愛清單上嗎？"_s;
inline const QString kAskCopyToJobs = u"您確定要複製指定的電台到排程工作清單上嗎？"_s;
inline const QString kAskDelete = u"您確定要刪除指定的清單嗎？"_s;
inline const QString kAskOverwrite = u"清單檔案已存在，您要覆蓋它嗎？"_s;
inline const QString kListFileFilter = u"播放清單檔案 (*.m3u *.m3u8 *.pls *.ini)"_s;
// Import and export failures, each followed by a line with the file's path.
inline const QString kListUnreadable = u"無法讀取清單檔案："_s;
inline const QString kListTooLarge = u"清單檔案太大，無法匯入："_s;
inline const QString kListNoStations = u"這個檔案不是電台清單，或其中沒有可匯入的電台："_s;
inline const QString kListNotWritten = u"無法寫入清單檔案："_s;
inline const QString kListBadExtension = u"清單檔案的副檔名必須是 .m3u、.m3u8、.pls 或 .ini："_s;
// After an import, in the status bar: the stations added and those the list already had.
inline QString ImportCounts(int added, int already) {
    return u"已匯入 %1 個電台，%2 個已在清單中"_s.arg(added).arg(already);
}
// At start, in the status bar, when a kept list's file could not be read whole: the list's tab
// caption, one of these, and a path (the copy of the damaged file, or the file itself).
inline const QString kListDamagedCopy = u"清單檔案已損壞，已讀入可讀的電台，原檔案備份於："_s;
inline const QString kListDamagedNoCopy = u"清單檔案已損壞且無法備份，不會覆寫它："_s;
inline const QString kListUnreadableKept = u"無法讀取清單檔案，不會覆寫它："_s;

inline const QString kExportLog = u"輸出播放日誌"_s;
inline const QString kClearLog = u"清除播放日誌"_s;
inline const QString kGoogle = u"Google 網頁"_s;
inline const QString kYouTube = u"YouTube 影音"_s;
inline const QString kCopySong = u"複製歌曲至剪貼簿"_s;

inline const QString kTrayVolume = u"設定音量"_s;
inline const QString kTrayShow = u"顯示主視窗"_s;
inline const QString kTrayExit = u"結 束"_s;
inline const QString kPause = u"暫停"_s;
inline const QString kResume = u"繼續播放"_s;
inline const QString kGoLive = u"回到即時"_s;
inline const QString kSaveRecent = u"儲存最近的聲音"_s;
inline const QString kMinutes = u"%1 分鐘"_s;

inline const QString kFirstRunHello = u"您好："_s;
inline const QString kFirstRunQuestion = u"這是您第一次使用 Wavelot，您是否要先指定錄音檔儲存資料夾？"_s;
inline const QString kChooseFolder = u"請選擇資料夾："_s;
inline const QString kFolderChosen = u"錄音檔儲存資料夾已經指定為 "_s;
inline const QString kFolderCancelled = u"錄音檔儲存資料夾尚未指定或指定錯誤，程式已經將資料夾預先指定為"_s;
inline const QString kFolderDeclined = u"錄音檔儲存資料夾尚未指定，程式已經將資料夾預先指定為"_s;
inline const QString kThanks = u" 謝謝您的使用。"_s;

}  // namespace wavelot::ui_text
