#include "engine/recording_tags.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>

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

// Logos are kept scaled to 256 px; anything far bigger is not one.
constexpr qint64 kMaxCoverBytes = 1024 * 1024;

// The cover's bytes when the file is a PNG of sensible size, else empty.
TagLib::ByteVector CoverBytes(const QString& file) {
    if (file.isEmpty())
        return {};
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxCoverBytes)
        return {};
    const QByteArray data = f.readAll();
    if (!data.startsWith("\x89PNG\r\n\x1a\n"))
        return {};
    return TagLib::ByteVector(data.constData(), uint(data.size()));
}

void PutCover(TagLib::ID3v2::Tag& id3, const TagLib::ByteVector& cover) {
    id3.removeFrames("APIC");
    if (cover.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setMimeType("image/png");
    frame->setPicture(cover);
    id3.addFrame(frame);
}

void PutCover(TagLib::Tag* tag, const TagLib::ByteVector& cover) {
    if (auto* mp4 = dynamic_cast<TagLib::MP4::Tag*>(tag)) {
        if (cover.isEmpty()) {
            mp4->removeItem("covr");
            return;
        }
        TagLib::MP4::CoverArtList art;
        art.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, cover));
        mp4->setItem("covr", TagLib::MP4::Item(art));
    } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(tag)) {
        xiph->removeAllPictures();
        if (cover.isEmpty())
            return;
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/png");
        picture->setData(cover);
        xiph->addPicture(picture);  // the comment owns it
    }
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
        PutCover(*id3, CoverBytes(tags.cover));
        return mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3);
    }
    TagLib::FileRef ref(path.constData(), false);
    if (ref.isNull() || ref.file()->readOnly())
        return false;
    ref.file()->setProperties(properties);
    PutCover(ref.file()->tag(), CoverBytes(tags.cover));
    return ref.save();
}

}  // namespace wavelot
