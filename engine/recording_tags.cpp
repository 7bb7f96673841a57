#include "engine/recording_tags.h"

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <QFile>

namespace wavelot {

namespace {

TagLib::String Text(const QString& text) {
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

TagLib::PropertyMap Properties(const RecordingTags& tags) {
    TagLib::PropertyMap map;
    const auto put = [&map](const char* key, const QString& value) {
        if (!value.isEmpty())
            map.insert(key, TagLib::StringList(Text(value)));
    };
    put("ARTIST", tags.artist);
    put("TITLE", tags.title);
    put("ALBUM", tags.album);
    put("COMMENT", tags.comment);
    if (tags.date.isValid())
        put("DATE", tags.date.toString(Qt::ISODate));
    return map;
}

}  // namespace

bool WriteRecordingTags(const QString& file, const RecordingTags& tags) {
    const QByteArray path = QFile::encodeName(file);
    const TagLib::PropertyMap properties = Properties(tags);
    if (file.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) {
        TagLib::MPEG::File mp3(path.constData(), false);
        if (!mp3.isValid() || mp3.readOnly())
            return false;
        TagLib::ID3v2::Tag* id3 = mp3.ID3v2Tag(true);
        id3->removeFrames("TLEN");
        id3->setProperties(properties);
        return mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3);
    }
    TagLib::FileRef ref(path.constData(), false);
    if (ref.isNull() || ref.file()->readOnly())
        return false;
    ref.file()->setProperties(properties);
    return ref.save();
}

}  // namespace wavelot
