#include "directories/search_status.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// Host and port of the last address asked, as the user would recognise it.
QString LastHost(const SearchOutcome& outcome) {
    if (outcome.urls.isEmpty())
        return {};
    const QUrl url(outcome.urls.last());
    if (url.host().isEmpty())
        return outcome.urls.last();
    return url.port() < 0 ? url.host() : url.host() + u':' + QString::number(url.port());
}

QString FetchFailureLine(HttpFailure failure, const QString& host) {
    switch (failure) {
    case HttpFailure::BadUrl: return u"目錄位址無效：%1"_s.arg(host);
    case HttpFailure::CannotResolve: return u"找不到主機 %1，請檢查網路連線"_s.arg(host);
    case HttpFailure::CannotConnect: return u"無法連線至 %1"_s.arg(host);
    case HttpFailure::TimedOut: return u"%1 沒有回應（逾時）"_s.arg(host);
    case HttpFailure::TooLarge: return u"%1 的回應過大"_s.arg(host);
    case HttpFailure::Cancelled:
    case HttpFailure::Broken:
    case HttpFailure::None: break;
    }
    return u"與 %1 的連線中斷"_s.arg(host);
}

}  // namespace

bool IsSearchFailure(SearchStatus status) {
    return status != SearchStatus::Found && status != SearchStatus::NothingFound;
}

QString SearchStatusLine(const SearchOutcome& outcome) {
    const QString failed = u"搜尋失敗："_s;
    const QString host = LastHost(outcome);
    switch (outcome.status) {
    case SearchStatus::Found: return {};
    case SearchStatus::NothingFound: return u"搜尋完成：沒有找到電台"_s;
    case SearchStatus::FetchFailed: return failed + FetchFailureLine(outcome.fetchFailure, host);
    case SearchStatus::HttpError: return failed + u"%1 回應 HTTP %2"_s.arg(host).arg(outcome.httpStatus);
    case SearchStatus::KeyRejected: return failed + u"SHOUTcast 拒絕了開發者金鑰"_s;
    case SearchStatus::NoKey:
        // The keyless directory is the way out for a user without a key of their own.
        return failed + u"SHOUTcast 需要開發者金鑰，可改選 Radio-Browser 目錄"_s;
    case SearchStatus::Unreadable: return failed + u"無法解讀 %1 的回應"_s.arg(host);
    case SearchStatus::ListUnreadable: return failed + u"無法讀取國內電台清單 Radio.txt"_s;
    case SearchStatus::NotADirectory: break;
    }
    return failed + u"沒有這個目錄"_s;
}

}  // namespace wavelot
