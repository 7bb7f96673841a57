// wavelot-cli parse and search: a directory answer (saved, or fetched now) through the same
// steps and parser as the search page, printing the search list one record per line.
#include <QFile>

#include <cstdio>
#include <string>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/song_array.h"
#include "directories/directory_config.h"
#include "directories/directory_search.h"
#include "directories/directory_tables.h"
#include "directories/radio_list.h"
#include "directories/search_status.h"
#include "text/code_page.h"

using namespace Qt::StringLiterals;

namespace wavelot::cli {

namespace {

constexpr int kFailure = 1;

// Backslash, tab, CR and LF are written as escapes so one record stays one line.
QString Escaped(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case u'\\': out += u"\\\\"_s; break;
        case u'\t': out += u"\\t"_s; break;
        case u'\r': out += u"\\r"_s; break;
        case u'\n': out += u"\\n"_s; break;
        default: out += c;
        }
    }
    return out;
}

void PrintList(const clsSongArray& list) {
    for (int i = 0; i < list.ListCount(); ++i) {
        const QStringList fields = {Escaped(list.File(i)),
                                    Escaped(list.Title(i)),
                                    QString::number(list.Code(i)),
                                    Escaped(list.Comment(i)),
                                    QString::number(list.JobMode(i)),
                                    QString::number(list.JobType(i)),
                                    Escaped(list.JobStart(i)),
                                    Escaped(list.JobStop(i)),
                                    QString::number(list.RunJob(i)),
                                    QString::number(list.WeekMark(i))};
        const QByteArray line = fields.join(u'\t').toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }
    std::fflush(stdout);
}

QString FromArg(const std::string& arg) {
    return QString::fromUtf8(arg.data(), static_cast<qsizetype>(arg.size()));
}

int RunParse(const CommandArgs& args) {
    if (args.size() != 2)
        return UsageError("parse");
    const int directory = DirectoryFromCliName(FromArg(args[0]));
    if (directory < 0)
        return UsageError("parse");
    const QString path = FromArg(args[1]);

    InitAppFolders();
    const DirectoryConfig config = LoadDirectoryConfig(SettingFile());
    clsSongArray searchList;
    clsSongArray scratchList;
    if (directory == static_cast<int>(Directory::Local)) {
        if (!LoadRadioList(path, searchList)) {
            std::fprintf(stderr, "cannot read %s as a station list\n", args[1].c_str());
            return kFailure;
        }
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot open %s\n", args[1].c_str());
            return kFailure;
        }
        const QString answer = DecodeBytes(file.readAll(), kDirectories[directory].codePage);
        if (!ParseRawBoxText(directory, RawBoxText(directory, answer), QString(), config, searchList,
                             scratchList)) {
            std::fprintf(stderr, "cannot read %s as an answer of %s\n", args[1].c_str(), args[0].c_str());
            return kFailure;
        }
    }
    PrintList(searchList);
    return 0;
}

int RunSearch(const CommandArgs& args) {
    if (args.empty())
        return UsageError("search");
    const int directory = DirectoryFromCliName(FromArg(args[0]));
    if (directory < 0)
        return UsageError("search");

    SearchRequest request;
    request.directory = directory;
    bool haveQuery = false;
    for (size_t k = 1; k < args.size(); k += 2) {
        if (k + 1 >= args.size() || haveQuery)
            return UsageError("search");
        if (args[k] == "--genre") {
            bool ok = false;
            request.genreIndex = FromArg(args[k + 1]).toInt(&ok);
            if (!ok || request.genreIndex < 0 || request.genreIndex >= kGenreCount)
                return UsageError("search");
            request.searchKind = kSearchByGenre;
        } else if (args[k] == "--name") {
            request.text = FromArg(args[k + 1]);
            request.searchKind = kSearchByName;
        } else {
            return UsageError("search");
        }
        haveQuery = true;
    }
    // Genre and name choose what SHOUTcast, Icecast and Radio-Browser look for; the listings
    // ignore them.
    if (kDirectories[directory].hasSearchInputs && !haveQuery)
        return UsageError("search");

    InitAppFolders();
    clsSongArray searchList;
    clsSongArray scratchList;
    DirectorySearch search(SettingFile(), SettingFolder() + QString::fromUtf16(kRadioFileName), searchList,
                           scratchList);
    const SearchOutcome outcome = search.Run(request);
    PrintList(searchList);
    // The status-bar line: why nothing was found, or that nothing was.
    const QString line = SearchStatusLine(outcome);
    if (!line.isEmpty())
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    return IsSearchFailure(outcome.status) ? kFailure : 0;
}

const CommandRegistration parseReg{
    "parse", "parse (shoutcast|icecast|livedoor|local|inlive|radio-browser) FILE", &RunParse};
const CommandRegistration searchReg{
    "search", "search (shoutcast|icecast|livedoor|local|inlive|radio-browser) [--genre INDEX | --name TEXT]",
    &RunSearch};

}  // namespace

}  // namespace wavelot::cli
