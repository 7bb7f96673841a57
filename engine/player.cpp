#include "engine/player.h"

#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cmath>

#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/path_utils.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/channel_info.h"
#include "engine/song_title.h"
#include "engine/spectrum_bars.h"
#include "engine/stream_details.h"
#include "engine/tag_text.h"
#include "engine/time_text.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace s = settings;

Player::Player(QString settingFile, StreamEngine& audio, clsSongArray& playLog, QObject* parent)
    : QObject(parent), settings_(std::move(settingFile)), audio_(audio), log_(playLog) {
    volume_ = settings_.SavedVolume();
    connect(&log_, &PlayLog::lineAdded, this, &Player::logLineAdded);
    connect(&log_, &PlayLog::cleared, this, &Player::playLogCleared);
}

Player::~Player() {
    // Syncs die with their streams, so nothing queued can reach this object afterwards; a
    // connect still under way frees its stream when it ends.
    for (const audio::StreamHandle stream : fading_)
        audio_.StreamFree(stream);
    audio_.StreamFree(previous_);
    audio_.StreamFree(current_);
}

Player::State Player::PlaybackState() const {
    if (connecting_ > 0)
        return State::Connecting;
    if (IsPlaying())
        return State::Playing;
    return isConnected_ || reconnectPending_ ? State::Dropped : State::Idle;
}

bool Player::IsPlaying() const {
    const quint32 active = audio_.ChannelIsActive(current_);
    return active == audio::ACTIVE_PLAYING || active == audio::ACTIVE_STALLED ||
           active == audio::ACTIVE_PAUSED;
}

bool Player::IsPaused() const {
    return audio_.ChannelIsActive(current_) == audio::ACTIVE_PAUSED;
}

bool Player::IsBehindLive() const {
    return audio_.ChannelIsBehindLive(current_);
}

bool Player::Pause() {
    if (IsPaused() || !IsPlaying() || !audio_.ChannelPause(current_))
        return false;
    Q_EMIT pauseChanged(true);
    return true;
}

bool Player::Resume() {
    if (!IsPaused() || !audio_.ChannelPlay(current_, false))
        return false;
    Q_EMIT pauseChanged(false);
    return true;
}

bool Player::GoLive() {
    if (!IsPlaying() || !audio_.ChannelGoLive(current_))
        return false;
    Q_EMIT pauseChanged(false);
    return true;
}

double Player::ElapsedSeconds() const {
    return ChannelSeconds(audio_, current_);
}

int Player::ReadSpectrum(std::vector<float>& magnitudes) const {
    magnitudes.resize(SpectrumBars::kFftBins);
    const quint32 got = audio_.ChannelGetData(current_, magnitudes.data(), audio::DATA_FFT4096);
    if (got == audio::ERROR_RESULT)
        return 0;
    const int count = static_cast<int>(got / sizeof(float));
    return count >= SpectrumBars::kBinsUsed ? count : 0;
}

void Player::PlayLastStation() {
    const LastStation last = background_ ? backgroundLast_ : settings_.Last();
    PlayRadio(last.url, last.name, last.code);
}

void Player::Reconnect(bool quiet) {
    const LastStation last = background_ ? backgroundLast_ : settings_.Last();
    Open(last.url, last.name, last.code, true, quiet);
}

void Player::PlayRadio(const QString& url, const QString& name, int code) {
    Open(url, name, code, false, false);
}

void Player::Open(const QString& url, const QString& name, int code, bool reconnect, bool quiet) {
    ++generation_;
    isConnected_ = false;
    reconnectPending_ = reconnect;
    Q_EMIT streamLeaving(current_);
    ApplyProxySetting();
    OpenStream(url, code, name, reconnect, quiet);
    if (background_)
        backgroundLast_ = {url, name, code};
    else
        settings_.WriteLast({url, name, code});
}

void Player::ApplyProxySetting() {
    if (settings_.EnabledProxy() == 1) {
        proxyText_ = settings_.UserProxy().toUtf8();
        audio_.SetConfigPtr(audio::CONFIG_NET_PROXY, proxyText_.constData());
    } else {
        proxyText_.clear();
        audio_.SetConfigPtr(audio::CONFIG_NET_PROXY, nullptr);
    }
}

void Player::ConnectLines(const QString& name) {
    AddLog(QString(), false);
    AddLog(LogTimePrefix() + u"連線至 "_s + name, false);
}

void Player::OpenStream(const QString& url, int code, const QString& name, bool reconnect, bool quiet) {
    stationName_ = name;
    if (!quiet)
        ConnectLines(name);
    ++connecting_;
    const quint64 sequence = Begin();
    QPointer<Player> self(this);
    StreamEngine* const engine = &audio_;
    // The output is chosen when the connect begins.
    audio_.SetConfigPtr(audio::CONFIG_SILENT_OUTPUT, background_ ? "1" : nullptr);
    audio_.StreamConnect(
        url, [self, engine, opening = Opening{url, name, code, reconnect, quiet, generation_, sequence}](
                 audio::StreamHandle mine) {
            if (self)
                self->When(opening.sequence, [self, opening, mine] { self->Connected(opening, mine); });
            else
                engine->StreamFree(mine);
        });
}

void Player::Connected(const Opening& opening, audio::StreamHandle mine) {
    pending_ = mine;
    if (opening.reconnect && generation_ != opening.generation) {
        // The user chose another station or stopped while this attempt connected.
        --connecting_;
        audio_.StreamFree(mine);
        EndConnect(opening.sequence, false);
        return;
    }
    if (mine == 0) {
        --connecting_;
        AddLog(LogTimePrefix() + u"錯誤！無法連線至 "_s + stationName_, false);
        if (audio_.ErrorGetCode() == audio::ERROR_ENCRYPTED)
            AddLog(LogTimePrefix() + u"錯誤！此電台的串流已加密，無法播放"_s, false);
        EndConnect(opening.sequence, false);
        return;
    }
    if (opening.quiet)
        ConnectLines(opening.name);
    const quint64 generation = generation_;
    const int code = opening.code;

    // Another connect may have finished meanwhile; the stream that finishes its connect last
    // becomes the current one.
    const audio::StreamHandle previous = current_;
    previous_ = previous;
    stationName_ = opening.name;
    stationUrl_ = opening.url;
    stationCode_ = code;
    current_ = mine;

    if (!background_)
        SetEqPreset(settings_.IndexEQ());
    if (songTitle_.isEmpty())
        songTitle_ = stationName_;

    const ChannelFacts facts{ChannelFreq(audio_, mine), ChannelsText(audio_, mine),
                             StreamTypeText(audio_, mine), ChannelBitrate(audio_, mine)};
    QByteArray header = audio_.ChannelGetTags(mine, audio::TAG_ICY);
    if (header.isNull())
        header = audio_.ChannelGetTags(mine, audio::TAG_HTTP);
    if (!header.isNull()) {
        LogDetails(HeaderDetails(TagSeriesText(header, code), stationName_, facts, LogTimePrefix()));
    } else if (const QByteArray wma = audio_.ChannelGetTags(mine, audio::TAG_WMA); !wma.isNull()) {
        LogDetails(WmaDetails(TagSeriesText(wma, code), stationName_, facts, LogTimePrefix()));
    } else {
        // No header tags at all (a plain file server, some mms:// hosts): the stream still plays.
        LogDetails(BareDetails(stationName_, facts, LogTimePrefix()));
    }

    UpdateSongTitle(code);

    QPointer<Player> self(this);
    audio_.ChannelSetSync(mine, audio::SYNC_META, 0,
                          [self](audio::SyncHandle, audio::StreamHandle stream, quint32) {
                              if (self)
                                  self->OnMetaSync(stream);
                          });
    audio_.ChannelSetSync(mine, audio::SYNC_END, 0,
                          [self](audio::SyncHandle, audio::StreamHandle stream, quint32) {
                              if (self)
                                  self->OnEndSync(stream);
                          });

    audio_.ChannelSetAttribute(mine, audio::ATTRIB_VOL, 0.0f);
    // Connecting until the sound starts: whoever follows the log lines above (the session's
    // title poll) sees a connect, not an idle player, and reads no title before them.
    --connecting_;
    audio_.ChannelPlay(mine, false);
    if (!isMuted_) {
        const int v = settings_.SavedVolume();
        audio_.ChannelSlideAttribute(mine, audio::ATTRIB_VOL, static_cast<float>(v) / 100.0f, crossFadeMs_);
    }
    audio_.ChannelSlideAttribute(previous, audio::ATTRIB_VOL, 0.0f, crossFadeMs_);
    fading_.push_back(previous);
    const quint64 sequence = opening.sequence;
    QTimer::singleShot(crossFadeMs_, Qt::PreciseTimer, this, [this, previous, mine, generation, sequence] {
        When(sequence, [this, previous, mine, generation, sequence] {
            CrossFadeOver(previous, mine, generation, sequence);
        });
    });
}

void Player::CrossFadeOver(audio::StreamHandle previous, audio::StreamHandle mine, quint64 generation,
                           quint64 sequence) {
    FadeOver(previous);
    bool claimed = false;
    if (generation == generation_ && current_ == mine) {
        claimed = true;
        isConnected_ = true;
        reconnectPending_ = false;
        // A stream that ended during the fade sent its end notification while it did not count
        // as connected yet: tell the reconnect logic now.
        if (!IsPlaying())
            Q_EMIT currentStreamEnded();
    }
    EndConnect(sequence, claimed);
}

quint64 Player::Begin() {
    sequences_.push_back(++lastSequence_);
    return lastSequence_;
}

void Player::When(quint64 sequence, std::function<void()> step) {
    if (sequences_.back() == sequence)
        step();
    else
        deferred_[sequence] = std::move(step);
}

void Player::End(quint64 sequence, const std::function<void()>& tell) {
    std::erase(sequences_, sequence);
    QPointer<Player> self(this);
    tell();
    if (!self || sequences_.empty())
        return;
    // The sequence below may have reached its next step meanwhile.
    const auto below = deferred_.find(sequences_.back());
    if (below == deferred_.end())
        return;
    const std::function<void()> step = std::move(below->second);
    deferred_.erase(below);
    step();
}

void Player::EndConnect(quint64 sequence, bool connected) {
    End(sequence, [this, connected] { Q_EMIT connectFinished(connected); });
}

void Player::FadeOver(audio::StreamHandle stream) {
    fading_.erase(std::ranges::find(fading_, stream));
    audio_.StreamFree(stream);
}

void Player::LogDetails(const ConnectDetails& details) {
    displayName_ = details.displayName;
    for (const LogLine& line : details.lines)
        AddLog(line.text, line.scroll);
}

void Player::StopRadio() {
    if (!IsPlaying()) {
        if (isConnected_ || reconnectPending_) {
            ++generation_;
            isConnected_ = false;
            reconnectPending_ = false;
        }
        Q_EMIT stopFinished();
        return;
    }
    ++generation_;
    isConnected_ = false;
    reconnectPending_ = false;
    const audio::StreamHandle stopping = current_;
    Q_EMIT streamLeaving(stopping);
    audio_.ChannelSlideAttribute(stopping, audio::ATTRIB_VOL, 0.0f, stopFadeMs_);
    fading_.push_back(stopping);
    const quint64 sequence = Begin();
    QTimer::singleShot(stopFadeMs_, Qt::PreciseTimer, this, [this, stopping, sequence] {
        When(sequence, [this, stopping, sequence] {
            FadeOver(stopping);
            AddLog(LogTimePrefix() + u"停止播放"_s, false);
            Q_EMIT iconTipChanged(ProgramTitle());
            End(sequence, [this] { Q_EMIT stopFinished(); });
        });
    });
}

void Player::SetVolume(int value) {
    value = std::clamp(value, s::kVolumeMin, s::kVolumeMax);
    volume_ = value;
    volumeLevel_ = value == 0 ? 1 : 1 + (value + 9) / 10;
    const float target = isMuted_ ? 0.0f : static_cast<float>(value) / 100.0f;
    audio_.ChannelSlideAttribute(current_, audio::ATTRIB_VOL, target, kVolumeGlideMs);
    settings_.WriteSavedVolume(value);
    Q_EMIT volumeChanged(value);
}

void Player::UpdateSongTitle(int code) {
    quint64 at = 0;
    TitleSource source{current_, true, audio_.ChannelGetTags(current_, audio::TAG_OGG, &at), code,
                       stationName_};
    if (source.tags.isNull()) {
        source.ogg = false;
        source.tags = audio_.ChannelGetTags(current_, audio::TAG_META, &at);
        if (source.tags.isNull()) {
            songTitle_ = stationName_;
            titleSource_ = {};
            return;
        }
    }
    if (source != titleSource_) {
        if (source.ogg) {
            // Vorbis comments are UTF-8 by definition, whatever the station's code.
            songTitle_ = CleanFileName(ComposeOggTitle(TagSeriesText(source.tags, 0)));
        } else {
            songTitle_ = IcyStreamTitle(TagStringText(source.tags, code), stationName_, songTitle_);
        }
        titleSource_ = std::move(source);
        titleAt_ = at;
    }

    if (songTitle_ == lastTitle_)
        return;
    lastTitle_ = songTitle_;
    AddLog(LogTimePrefix() + songTitle_, true);
    Q_EMIT titleChanged(songTitle_);
    Q_EMIT iconTipChanged(ProgramTitle() + u"\r\n"_s + songTitle_);
    Q_EMIT titleBegins(songTitle_, titleAt_);
}

void Player::SetEqPreset(int index) {
    if (index == kEqOff) {
        for (audio::FxHandle& fx : eqFx_)
            audio_.ChannelRemoveFX(current_, fx);
    } else if (const auto preset = FindEqPreset(index)) {
        ApplyEq(QString::fromUtf8(preset->gains));
    }
    indexEQ_ = index;
    settings_.WriteIndexEQ(index);
}

void Player::ApplyEq(const QString& gains) {
    for (audio::FxHandle& fx : eqFx_)
        audio_.ChannelRemoveFX(current_, fx);
    const auto values = ParseEqGains(gains);
    for (size_t i = 0; i < eqFx_.size(); ++i) {
        eqFx_[i] = audio_.ChannelSetFX(current_, audio::FX_DX8_PARAMEQ, 0);
        audio::DX8ParamEq band;
        band.fCenter = kEqBandCentres[i];
        band.fBandwidth = kEqBandwidth;
        band.fGain = values[i];
        audio_.FXSetParameters(eqFx_[i], band);
    }
}

void Player::OnMetaSync(audio::StreamHandle stream) {
    if (stream == current_)
        UpdateSongTitle(stationCode_);
}

void Player::OnEndSync(audio::StreamHandle stream) {
    if (stream == current_ && isConnected_)
        Q_EMIT currentStreamEnded();
}

}  // namespace wavelot
