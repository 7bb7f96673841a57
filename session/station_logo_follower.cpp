#include "session/station_logo_follower.h"

#include "core/station_lists.h"
#include "directories/station_logos.h"
#include "engine/audio/stream_engine.h"
#include "engine/player.h"
#include "engine/stream_details.h"
#include "engine/tag_text.h"

namespace wavelot {

namespace {

QString LogoIn(const clsSongArray& list, const QString& url) {
    for (int i = 0; i < list.ListCount(); ++i)
        if (list.File(i) == url && !list.Logo(i).isEmpty())
            return list.Logo(i);
    return {};
}

}  // namespace

StationLogoFollower::StationLogoFollower(Player& player, StreamEngine& audio, const StationLists& lists,
                                         StationLogos& logos, QObject* parent)
    : QObject(parent), player_(&player), audio_(audio), lists_(lists), logos_(logos) {
    // A connect logs its details once its stream is the current one.
    connect(&player, &Player::logLineAdded, this, &StationLogoFollower::OnPlayerLine);
}

QString StationLogoFollower::ListedLogo(const StationLists& lists, const QString& url) {
    const QString favorite = LogoIn(lists.favoriteList, url);
    return favorite.isEmpty() ? LogoIn(lists.searchList, url) : favorite;
}

void StationLogoFollower::OnPlayerLine() {
    Player* p = player_.data();
    if (!p || p->Current() == 0 || p->Current() == asked_ || p->StationUrl().isEmpty())
        return;
    asked_ = p->Current();
    QString logo = ListedLogo(lists_, p->StationUrl());
    if (logo.isEmpty()) {
        QByteArray header = audio_.ChannelGetTags(asked_, audio::TAG_ICY);
        if (header.isNull())
            header = audio_.ChannelGetTags(asked_, audio::TAG_HTTP);
        if (!header.isNull())
            logo = ParseHeaderFields(TagSeriesText(header, p->StationCode())).logo;
    }
    logos_.Want(p->StationUrl(), logo);
}

}  // namespace wavelot
