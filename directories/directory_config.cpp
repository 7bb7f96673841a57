#include "directories/directory_config.h"

#include "core/ini_file.h"

namespace wavelot {

namespace {

void Override(QString& target, const QString& key, const QString& file, bool isHost) {
  QString value = ReadIni(directory_keys::kSection, key, file);
  if (isHost) {
    while (value.endsWith(u'/')) value.chop(1);
  }
  if (!value.isEmpty()) target = value;
}

}  // namespace

DirectoryConfig LoadDirectoryConfig(const QString& settingFile) {
  using namespace directory_keys;
  DirectoryConfig c;
  Override(c.shoutcastHost, kShoutcastHost, settingFile, true);
  Override(c.shoutcastTuneInHost, kShoutcastTuneInHost, settingFile, true);
  for (int k = 0; k < 3; ++k) Override(c.shoutcastKeys[k], kShoutcastKeys[k], settingFile, false);
  Override(c.icecastHost, kIcecastHost, settingFile, true);
  Override(c.icecastBase, kIcecastBase, settingFile, true);
  Override(c.liveDoorHost, kLiveDoorHost, settingFile, true);
  Override(c.inLiveHost, kInLiveHost, settingFile, true);
  return c;
}

}  // namespace wavelot
