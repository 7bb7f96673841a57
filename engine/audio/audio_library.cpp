#include "engine/audio/audio_library.h"

namespace wavelot {
namespace audio {
class Backend {};
}  // namespace audio

using namespace audio;

AudioLibrary::AudioLibrary() = default;
AudioLibrary::~AudioLibrary() { Free(); }
bool AudioLibrary::Init(int, quint32, quint32) { return false; }
bool AudioLibrary::Free() { return true; }
bool AudioLibrary::IsInitialised() const { return false; }
bool AudioLibrary::UsingSoundServer() const { return false; }
PluginHandle AudioLibrary::PluginLoad(const QString&, quint32) { return 1; }
bool AudioLibrary::PluginFree(PluginHandle) { return true; }
bool AudioLibrary::SetConfig(quint32, quint32) { return false; }
quint32 AudioLibrary::GetConfig(quint32) const { return ERROR_RESULT; }
bool AudioLibrary::SetConfigPtr(quint32, const char*) { return false; }
StreamHandle AudioLibrary::StreamCreateURL(const QString&, quint32, quint32) { return 0; }
bool AudioLibrary::StreamFree(StreamHandle) { return false; }
QByteArray AudioLibrary::ChannelGetTags(StreamHandle, quint32) const { return {}; }
SyncHandle AudioLibrary::ChannelSetSync(StreamHandle, quint32, quint64, SyncProc) { return 0; }
bool AudioLibrary::ChannelRemoveSync(StreamHandle, SyncHandle) { return false; }
bool AudioLibrary::ChannelPlay(StreamHandle, bool) { return false; }
bool AudioLibrary::ChannelPause(StreamHandle) { return false; }
bool AudioLibrary::ChannelStop(StreamHandle) { return false; }
quint32 AudioLibrary::ChannelIsActive(StreamHandle) const { return ACTIVE_STOPPED; }
bool AudioLibrary::ChannelSetAttribute(StreamHandle, quint32, float) { return false; }
bool AudioLibrary::ChannelSlideAttribute(StreamHandle, quint32, float, quint32) { return false; }
bool AudioLibrary::ChannelGetAttribute(StreamHandle, quint32, float*) const { return false; }
bool AudioLibrary::ChannelIsSliding(StreamHandle, quint32) const { return false; }
bool AudioLibrary::ChannelGetInfo(StreamHandle, ChannelInfo*) const { return false; }
quint64 AudioLibrary::ChannelGetPosition(StreamHandle, quint32) const { return quint64(-1); }
double AudioLibrary::ChannelBytes2Seconds(StreamHandle, quint64) const { return -1; }
quint32 AudioLibrary::ChannelGetData(StreamHandle, float*, quint32) const { return ERROR_RESULT; }
FxHandle AudioLibrary::ChannelSetFX(StreamHandle, quint32, int) { return 0; }
bool AudioLibrary::ChannelRemoveFX(StreamHandle, FxHandle) { return false; }
bool AudioLibrary::FXSetParameters(FxHandle, const DX8ParamEq&) { return false; }
bool AudioLibrary::FXGetParameters(FxHandle, DX8ParamEq*) const { return false; }
EncoderHandle AudioLibrary::EncodeStart(StreamHandle, const QStringList&, quint32) { return 0; }
bool AudioLibrary::EncodeStop(Handle) { return false; }
quint32 AudioLibrary::EncodeIsActive(Handle) const { return ACTIVE_STOPPED; }
StreamTimings AudioLibrary::ChannelGetTimings(StreamHandle) const { return {}; }

}  // namespace wavelot
