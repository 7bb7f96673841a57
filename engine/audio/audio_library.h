#pragma once
// The audio library the program calls: internet streams, their tags, volume, the equalizer
// effect, spectrum data and the encoder feed. One real back end sits behind it (libcurl
// transport, FFmpeg decoding, libpulse or silent output); its parts live in the other files
// of this folder and are never included by the program.
//
// Threads. Every call is meant to be made from the main thread, the one that called Init; the
// calls are nonetheless safe from any thread (the handle tables are guarded by one mutex).
// Each stream runs three threads of its own: the network reader, the decoder and the sound
// output. Nothing of the program ever runs on those threads: sync callbacks are queued to the
// thread that called Init and run from its event loop.
//
// Handles. Streams, syncs, effects and encoders get 32-bit handles that are never reused in a
// run, so a stale handle (one already freed) can never reach a newer object. Every call on a
// handle of 0 or a freed handle fails harmlessly (false, 0, empty, or -1 where noted).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/audio/stream_engine.h"

namespace wavelot {

class AudioLibrary;

namespace audio {

// Handle, StreamHandle, SyncHandle, FxHandle, EncoderHandle, SyncProc and EncodeNotifyProc come
// with stream_engine.h.
using PluginHandle = Handle;

// Flags of StreamCreateURL (accepted and ignored: all text is UTF-8 here).
inline constexpr quint32 UNICODE = 0x80000000u;

// Config options (SetConfig, SetConfigPtr).
inline constexpr quint32 CONFIG_NET_TIMEOUT = 11;  // ms; connect and stall limit (default 10000)
inline constexpr quint32 CONFIG_NET_BUFFER = 12;   // ms of audio the network buffer holds (15000)
inline constexpr quint32 CONFIG_NET_PREBUF = 15;   // % of the buffer filled before sound starts (0)
inline constexpr quint32 CONFIG_NET_AGENT = 16;    // pointer: User-Agent text, null = built-in
inline constexpr quint32 CONFIG_NET_PROXY = 17;    // pointer: see SetConfigPtr
inline constexpr quint32 CONFIG_NET_PLAYLIST = 21;
inline constexpr quint32 CONFIG_NET_HLS_MAX_KBPS = 0x10002;  // HLS: best variant at or under it (0 no cap)
// pointer: non-null = the streams connected after it play to the silent output (decoded and
// recorded, never heard) whatever the sound server; null = as Init decided.
inline constexpr quint32 CONFIG_SILENT_OUTPUT = 0x10001;
// Minutes of each stream's received sound kept to be decoded again (0, the default: none).
inline constexpr quint32 CONFIG_TIME_SHIFT = 0x10000;  // 0 never follow playlists, 1 or 2 follow them

// Attributes.
inline constexpr quint32 ATTRIB_FREQ = 1;      // the stream's own sample rate (read only)
inline constexpr quint32 ATTRIB_VOL = 2;       // 0.0 to 1.0
inline constexpr quint32 ATTRIB_BITRATE = 12;  // kbit/s the decoder reports (read only); 0 unknown

// Tag kinds of ChannelGetTags.
inline constexpr quint32 TAG_OGG = 2;
inline constexpr quint32 TAG_HTTP = 3;
inline constexpr quint32 TAG_ICY = 4;
inline constexpr quint32 TAG_META = 5;
inline constexpr quint32 TAG_WMA = 8;

// Sync kinds of ChannelSetSync. MIXTIME is not offered: every sync is queued to the main thread.
inline constexpr quint32 SYNC_END = 2;                // the stream has played to its end (drop or close)
inline constexpr quint32 SYNC_META = 4;               // new ICY metadata, or new Ogg comments / WMA tags
inline constexpr quint32 SYNC_STALL = 6;              // data = 0 stalled, 1 resumed
inline constexpr quint32 SYNC_OGG_CHANGE = 12;        // a new Ogg chain link began
inline constexpr quint32 SYNC_ONETIME = 0x80000000u;  // or-ed to the kind: remove after one call

// Channel states (ChannelIsActive, EncodeIsActive).
inline constexpr quint32 ACTIVE_STOPPED = 0;
inline constexpr quint32 ACTIVE_PLAYING = 1;
inline constexpr quint32 ACTIVE_STALLED = 2;
inline constexpr quint32 ACTIVE_PAUSED = 3;

// Position modes.
inline constexpr quint32 POS_BYTE = 0;

// Effect types.
inline constexpr quint32 FX_DX8_PARAMEQ = 7;

// ChannelGetData requests. FFTn: n/2 magnitudes of the last n samples played (mono mix, Hann
// window); bin k is k * rate / n Hz; a full-scale sine on a bin centre reads about 1.0.
inline constexpr quint32 DATA_AVAILABLE = 0;
inline constexpr quint32 DATA_FFT256 = 0x80000000u;
inline constexpr quint32 DATA_FFT512 = 0x80000001u;
inline constexpr quint32 DATA_FFT1024 = 0x80000002u;
inline constexpr quint32 DATA_FFT2048 = 0x80000003u;
inline constexpr quint32 DATA_FFT4096 = 0x80000004u;
inline constexpr quint32 DATA_FFT8192 = 0x80000005u;

// Channel types (ChannelInfo::ctype).
inline constexpr quint32 CTYPE_STREAM = 0x10000;
inline constexpr quint32 CTYPE_STREAM_OGG = 0x10002;
inline constexpr quint32 CTYPE_STREAM_MP1 = 0x10003;
inline constexpr quint32 CTYPE_STREAM_MP2 = 0x10004;
inline constexpr quint32 CTYPE_STREAM_MP3 = 0x10005;
inline constexpr quint32 CTYPE_STREAM_WMA = 0x10300;
inline constexpr quint32 CTYPE_STREAM_WMA_MP3 = 0x10301;
inline constexpr quint32 CTYPE_STREAM_AAC = 0x10B00;  // ADTS / raw AAC and HE-AAC
inline constexpr quint32 CTYPE_STREAM_MP4 = 0x10B01;  // AAC inside MP4
inline constexpr quint32 CTYPE_STREAM_OPUS = 0x11200;

// ChannelInfo::flags.
inline constexpr quint32 SAMPLE_FLOAT = 256;

// Frame positions (ChannelGetSample). A stream's frames are counted at the output rate from its
// first decoded one; tag positions, the heard position and where encoders begin and end are all
// given in this unit.
inline constexpr quint32 SAMPLE_DECODED = 0;  // frames decoded so far (the encoders' sound ends here)
inline constexpr quint32 SAMPLE_HEARD = 1;    // the frame reaching the listener now

// EncodeStart flags.
inline constexpr quint32 ENCODE_NOHEAD = 1;  // send raw PCM without the WAV header
// EncodeSwitch: argv is one file, which gets the stream's own packets copied, not encoded
// (copy_feed.h); ChannelCopyExtension tells whether the stream's codec allows it.
inline constexpr quint32 ENCODE_COPY = 2;

// What EncodeSetNotify reports.
inline constexpr quint32 ENCODE_NOTIFY_ENCODER = 1;        // the program ended by itself
inline constexpr quint32 ENCODE_NOTIFY_FREE = 5;           // the encoder is gone and its program has ended
inline constexpr quint32 ENCODE_NOTIFY_STALLED = 0x10000;  // the program took no sound and was killed

// ErrorGetCode: why the last connect failed.
inline constexpr int ERROR_UNKNOWN = -1;   // no reason known (refused, timed out, not audio)
inline constexpr int ERROR_ENCRYPTED = 1;  // an HLS stream whose segments are encrypted

// 0xFFFFFFFF: the error result of the calls that return a count.
inline constexpr quint32 ERROR_RESULT = 0xFFFFFFFFu;

struct ChannelInfo {
    quint32 freq = 0;     // the stream's own sample rate (before resampling to the output rate)
    quint32 chans = 0;    // the stream's own channel count
    quint32 flags = 0;    // SAMPLE_FLOAT: positions count 32-bit float samples
    quint32 ctype = 0;    // CTYPE_STREAM_*; CTYPE_STREAM when the codec has no type of its own
    quint32 origres = 0;  // bits per sample of the source when it has one, else 0
};

// The parametric-equalizer band of FX_DX8_PARAMEQ, three floats in this order.
struct DX8ParamEq {
    float fCenter = 8000.0f;   // Hz; limited to 80 .. a third of the output rate
    float fBandwidth = 12.0f;  // semitones, 1 to 36
    float fGain = 0.0f;        // dB, -15 to +15
};

// Timings of one stream, for measurements (steady clock, nanoseconds since the epoch of
// std::chrono::steady_clock; 0 = not yet).
struct StreamTimings {
    qint64 created = 0;      // StreamCreateURL entered
    qint64 connected = 0;    // the answer's header block was complete
    qint64 firstSample = 0;  // the first decoded sample was handed to the sound output
};

// Memory a stream holds for its sound, for measurements.
struct StreamMemory {
    size_t networkBytes = 0;  // the network buffer
    size_t historyBytes = 0;  // the decoded sound kept for the encoders (grows while one runs)
};

struct TailData;  // the back end's (continuation.h)

// The last seconds of a stream's sound (ChannelGetTail), kept by the program across a reconnect:
// an encoder started with it on the new stream begins at the first frame the tail does not
// already hold, so a server's burst of sound the old stream delivered is not recorded twice.
// Cheap to copy; empty by default.
class AudioTail {
public:
    bool IsEmpty() const { return !data_; }
    double Seconds() const;

private:
    friend class ::wavelot::AudioLibrary;
    std::shared_ptr<const TailData> data_;
};

// Where an encoder's sound begins (EncodeStart), or where the old encoders end and the new one
// begins (EncodeSwitch): the frame `sample` of the stream (SAMPLE_HEARD_NOW: what the listener
// hears at the call; a frame the back end no longer holds counts as its oldest one). With a tail,
// the later of that and the first frame the tail does not hold; that frame is searched for once
// the first seconds of the stream are decoded (EncodeGetBegin tells when it is known).
inline constexpr quint64 SAMPLE_HEARD_NOW = ~quint64(0);
// rewind: a frame older than the few seconds of decoded sound the library holds is decoded
// again from the stream's kept sound (CONFIG_TIME_SHIFT); from its oldest frame when even that
// is gone.
struct EncodeFrom {
    quint64 sample = SAMPLE_HEARD_NOW;
    AudioTail after;
    bool rewind = false;
};

}  // namespace audio

namespace audio {
class Backend;      // the back end (backend.h), private to this folder
class Stream;       // stream.h
class FeedRetirer;  // encoder_feed.h
}  // namespace audio

class AudioLibrary final : public StreamEngine {
public:
    AudioLibrary();
    ~AudioLibrary() override;  // calls Free()
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    // device -1 or 1: the default sound server (PulseAudio, or PipeWire through its Pulse
    // interface) when one answers, else the silent output; 0: always the silent output, which
    // consumes sound at real time so titles, positions and recording behave as with sound.
    // freq is the output rate every stream is resampled to (stereo, float). The calling thread
    // becomes the main thread (it must run a Qt event loop for syncs to arrive). False only
    // when already initialised or the arguments are invalid: no sound server is not a failure.
    bool Init(int device = -1, quint32 freq = 44100, quint32 flags = 0);
    // Frees every stream and encoder. Returns within about a second whatever the streams do.
    bool Free();
    // True when streams are played through a sound server, false when they go to the silent
    // output (decided at Init; a stream whose server goes away later falls back by itself).
    bool UsingSoundServer() const;

    // Every codec is built in: this only succeeds.
    bool PluginFree(audio::PluginHandle handle);  // 0 = all

    // The options hold for connects made after the call.
    bool SetConfig(quint32 option, quint32 value);
    // CONFIG_NET_PROXY: null = no proxy at all (not even the environment's); "" = the system's
    // choice, that is libcurl's proxy environment variables; otherwise "[user:pass@]host:port"
    // or any proxy address libcurl accepts. CONFIG_NET_AGENT: the User-Agent. The text is copied.
    bool SetConfigPtr(quint32 option, const char* value) override;

    // Opens an internet stream: http://, https:// (libcurl, with ICY answers and metadata) or
    // mms://, mmsh://, mmst:// (libavformat). Returns 0 on failure. Blocks its caller until the
    // answer is in and the first audio is decoded (so freq, channel count and type are known),
    // or until it failed (time-out CONFIG_NET_TIMEOUT); the work runs on the stream's own
    // threads while the calling thread only waits (no events are dispatched meanwhile). With
    // CONFIG_NET_PLAYLIST set, a .pls or .m3u answer (by content type or by content) is followed
    // to the first entry that opens. The stream does not sound before ChannelPlay.
    audio::StreamHandle StreamCreateURL(const QString& url, quint32 offset = 0, quint32 flags = 0) override;
    // The same connect from the event loop: the stream's state change (or the time-out) queues
    // done to the main thread. A connect still under way at Free ends with done(0), by its time-out at the
    // latest.
    void StreamConnect(const QString& url, audio::ConnectDone done) override;
    // Never blocks for long: the stream's threads are told to stop and are joined elsewhere;
    // its handle, syncs, effects and encoders are gone when this returns.
    bool StreamFree(audio::StreamHandle handle) override;
    // Why the connect that finished last (StreamCreateURL or StreamConnect's done) failed:
    // ERROR_*; 0 when it succeeded. Main thread.
    int ErrorGetCode() const override { return error_; }

    // The tags as received, copied.
    // TAG_HTTP / TAG_ICY: the answer's header block as a series of NUL-terminated strings ended
    // by an empty one ("ICY 200 OK\0icy-name:X\0...\0\0"), status line first, line ends
    // removed, bytes untouched; ICY when the status line begins with "ICY", else HTTP (only
    // one of the two is ever present; after redirects, the last answer's block).
    // TAG_META: the last ICY metadata string (e.g. "StreamTitle='x';"), its padding NULs
    // dropped (the returned size excludes them; data() is NUL-terminated all the same).
    // TAG_OGG: the current Ogg comments as "key=value" strings in the same series format
    // (keys as the demuxer gives them, lower case), updated at each chain link.
    // TAG_WMA: the ASF header's attributes as "key=value" strings, plus "Bitrate=<bit/s>".
    // A null QByteArray when the stream has no tags of the kind.
    // sample (optional): the frame at which the tags took effect: for TAG_META the first frame
    // decoded from the input at or after the byte where the metadata block stood, for an Ogg
    // chain link its first frame, 0 for tags of the stream's header.
    QByteArray ChannelGetTags(audio::StreamHandle handle, quint32 tags,
                              quint64* sample = nullptr) const override;

    // The callback is queued to the main thread, stamped with the stream handle, and dropped
    // when the stream (or the sync) was freed before it ran: it never runs on a back-end thread.
    // type: SYNC_META, SYNC_END, SYNC_STALL or SYNC_OGG_CHANGE, optionally | SYNC_ONETIME.
    audio::SyncHandle ChannelSetSync(audio::StreamHandle handle, quint32 type, quint64 param,
                                     audio::SyncProc proc) override;
    bool ChannelRemoveSync(audio::StreamHandle handle, audio::SyncHandle sync);

    // Starts the sound (restart is accepted and ignored: a live stream cannot rewind).
    bool ChannelPlay(audio::StreamHandle handle, bool restart = false) override;
    // Pauses the sound (ACTIVE_PAUSED). A stream that keeps its received sound (CONFIG_TIME_SHIFT)
    // stays connected meanwhile and goes on decoding, for its recordings and titles; ChannelPlay
    // then resumes at the frame the output had reached, behind live (at the oldest frame kept
    // when the pause outlasted the buffer). Without kept sound the stream stops taking data.
    bool ChannelPause(audio::StreamHandle handle) override;
    // Plays the live sound again (also from a pause); false when the stream does not play.
    bool ChannelGoLive(audio::StreamHandle handle) override;
    // Whether the stream's output plays (or will resume) behind live.
    bool ChannelIsBehindLive(audio::StreamHandle handle) const override;
    // ACTIVE_PLAYING from ChannelPlay until the stream ends; ACTIVE_STALLED while the output has
    // been starved for over a second but the connection is still open (sound resumes by itself
    // when data comes again); ACTIVE_STOPPED before ChannelPlay, after the end,
    // and for a handle that is not a stream. A stream ends when its connection closes (server
    // gone, network broken) and the buffered sound has played out, or when it has been starved
    // for CONFIG_NET_TIMEOUT with the connection open: a stall is not an end until then.
    quint32 ChannelIsActive(audio::StreamHandle handle) const override;

    // ATTRIB_VOL only (ATTRIB_FREQ is read only). Values are clamped to 0..1; setting stops a
    // slide in progress.
    bool ChannelSetAttribute(audio::StreamHandle handle, quint32 attrib, float value) override;
    // Glides from the present value to value over time ms, sample-accurately in the output.
    bool ChannelSlideAttribute(audio::StreamHandle handle, quint32 attrib, float value,
                               quint32 time) override;
    // ATTRIB_VOL: the present value (mid-slide too); ATTRIB_FREQ: the stream's own rate;
    // ATTRIB_BITRATE: as of the first decoded frame.
    bool ChannelGetAttribute(audio::StreamHandle handle, quint32 attrib, float* value) const override;
    bool ChannelIsSliding(audio::StreamHandle handle, quint32 attrib) const;

    bool ChannelGetInfo(audio::StreamHandle handle, audio::ChannelInfo* info) const override;

    // POS_BYTE: bytes of the stream's own format (freq x chans x 32-bit float) played so far;
    // ERROR_RESULT (as quint64 -1) on failure.
    quint64 ChannelGetPosition(audio::StreamHandle handle, quint32 mode = audio::POS_BYTE) const override;
    // Seconds for a byte count of that stream; negative on failure.
    double ChannelBytes2Seconds(audio::StreamHandle handle, quint64 pos) const override;
    // SAMPLE_DECODED or SAMPLE_HEARD, in frames; ERROR_RESULT (as quint64 -1) on failure.
    quint64 ChannelGetSample(audio::StreamHandle handle, quint32 which) const;
    // The stream's last seconds of sound up to the last frame decoded (for a stream that has
    // ended: up to its end, which is where its recording ended). Empty on failure.
    audio::AudioTail ChannelGetTail(audio::StreamHandle handle) const override;
    audio::StreamMemory ChannelGetMemory(audio::StreamHandle handle) const;

    // DATA_FFTn: writes n/2 floats to buffer and returns n/2 * 4 (bytes). DATA_AVAILABLE:
    // returns the bytes of decoded sound waiting for the output. ERROR_RESULT otherwise. The
    // magnitudes come from a snapshot of what the output last played (before the volume), so
    // the call never waits for the audio threads.
    quint32 ChannelGetData(audio::StreamHandle handle, float* buffer, quint32 length) const override;

    // FX_DX8_PARAMEQ only: one peaking equalizer band, inserted in the stream's sound before
    // the encoder feed and the output, starting at the default DX8ParamEq. Parameter changes
    // apply live without a break; adding or removing a band rebuilds the filter chain.
    audio::FxHandle ChannelSetFX(audio::StreamHandle handle, quint32 type, int priority) override;
    bool ChannelRemoveFX(audio::StreamHandle handle, audio::FxHandle fx) override;
    bool FXSetParameters(audio::FxHandle fx, const audio::DX8ParamEq& params) override;
    bool FXGetParameters(audio::FxHandle fx, audio::DX8ParamEq* params) const;

    // Starts argv[0] (a path, or a name looked up in PATH) with argv[1..] as its arguments,
    // never through a shell, and feeds it the stream's sound after its effects and before the
    // volume: a WAV header (16-bit PCM at the output rate, stereo, both sizes 0xFFFFFFFF as for
    // an open-ended stream; left out with ENCODE_NOHEAD) and then the sound, on its standard
    // input. The arguments are passed in UTF-8 and the program runs with LC_ALL=C.UTF-8, so it
    // reads them as UTF-8 whatever this process's locale. Its standard output and error go to
    // /dev/null. Returns 0 when the program cannot be started. An encoder that dies or stops
    // taking sound for a few seconds (kEncoderStallSeconds) is dropped, and one that hangs is
    // killed (EncodeSetNotify tells); it never holds up playback nor the caller. No call here
    // writes to the program or waits for it: that is done on threads of the library's own.
    // The sound begins at `from` (by default what the listener hears at the call) and reaches the
    // program a few seconds behind the decoder, which is what lets EncodeSwitch end it exactly at
    // a frame decoded a moment before the switch.
    audio::EncoderHandle EncodeStart(audio::StreamHandle handle, const QStringList& argv, quint32 flags = 0,
                                     const audio::EncodeFrom& from = {});
    // Ends every encoder of the stream and starts argv in their place (as EncodeStart) in one
    // step: the old ones end and the new one begins at the frame `at` names (by default what the
    // listener hears now; later only if an old program was already handed sound past it), so
    // nothing is lost or doubled between them. The old ones are ended as by EncodeStop, also
    // when the new program cannot start or argv is empty (then 0 is returned). On a stream
    // without encoders it is EncodeStart.
    audio::EncoderHandle EncodeSwitch(audio::StreamHandle handle, const QStringList& argv, quint32 flags = 0,
                                      const audio::EncodeFrom& at = {}) override;
    // handle: an encoder, or a stream (all its encoders). The program gets every frame decoded
    // up to the call (or up to the end a switch gave it); its input is then closed and it is
    // given about 3 s to finish writing. Returns at once: the encoder's ENCODE_NOTIFY_FREE says
    // when its file is complete (at the latest kEncoderStallSeconds after the program stopped
    // taking sound, plus those 3 s), and Free waits for every encoder to get there.
    bool EncodeStop(audio::Handle handle) override;
    // Starts argv as EncodeStart does and hands it the last `seconds` the listener heard (as far as
    // the stream's kept sound reaches), decoded again on the encoder's own thread; its input then
    // ends. It is not one of the stream's encoders: no switch or stop ends it. proc gets
    // ENCODE_NOTIFY_FREE once its file is complete (and ENCODE_NOTIFY_ENCODER first when the
    // program died). 0 when the program cannot start or nothing is kept.
    audio::EncoderHandle EncodeSpan(audio::StreamHandle handle, const QStringList& argv, quint32 flags,
                                    quint64 seconds, audio::EncodeNotifyProc proc) override;
    // Memory the stream's kept sound holds, for measurements.
    size_t ChannelGetTimeShiftBytes(audio::StreamHandle handle) const;
    // The frame where the encoder's sound begins; ERROR_RESULT (as quint64 -1) while it is still
    // being searched for (a start after a tail) or for an unknown encoder.
    quint64 EncodeGetBegin(audio::EncoderHandle handle) const;
    QString ChannelCopyExtension(audio::StreamHandle handle) const override;
    // ACTIVE_PLAYING while the program runs and takes the sound, else ACTIVE_STOPPED.
    quint32 EncodeIsActive(audio::Handle handle) const;
    // Sets the encoder's notification, queued to the main thread like the syncs:
    // ENCODE_NOTIFY_ENCODER when the program ended or was dropped without EncodeStop (at most
    // once; at once if that happened before this call), then ENCODE_NOTIFY_FREE once the
    // encoder is gone (EncodeStop, EncodeSwitch, or its stream freed) and its program has
    // ended, so its output file is complete. Unlike syncs, the notifications still arrive after
    // the encoder and its stream were freed: the callback must check what it refers to.
    bool EncodeSetNotify(audio::EncoderHandle handle, audio::EncodeNotifyProc proc) override;

    audio::StreamTimings ChannelGetTimings(audio::StreamHandle handle) const;

    // A program that takes no sound for this long is dropped (killed) and its file closed.
    static constexpr int kEncoderStallSeconds = 5;

private:
    // The two halves of a connect: the stream set up (null for an address refused at once)
    // with its handle and time-out, and its outcome once it left Connecting.
    std::shared_ptr<audio::Stream> BeginConnect(const QString& url, audio::StreamHandle& handle,
                                                int& limitMs);
    audio::StreamHandle EndConnect(std::shared_ptr<audio::Stream> stream, audio::StreamHandle handle);
    // EncodeSwitch with ENCODE_COPY: the stream's encoders end and a file of its own packets begins.
    audio::EncoderHandle CopySwitch(audio::StreamHandle handle, const QString& file,
                                    const audio::EncodeFrom& at);

    std::unique_ptr<audio::Backend> backend_;
    int error_ = 0;  // ErrorGetCode
    // Ends stopped encoders off the caller's thread; destroyed (drained) before the back end,
    // whose main-thread queue their end notifications go through.
    std::unique_ptr<audio::FeedRetirer> retirer_;
};

}  // namespace wavelot
