#include "scheduler/radio_edit.h"

#include "core/list_files.h"
#include "core/station_lists.h"
#include "engine/time_text.h"
#include "scheduler/job_time.h"
#include "text/station_text.h"

namespace wavelot {

namespace {
RadioEdit::Target TargetOf(int tab) {
    return tab == kTabFavorites ? RadioEdit::Target::Favorites
           : tab == kTabJobs    ? RadioEdit::Target::Jobs
                                : RadioEdit::Target::None;
}

// A code no encoding stands for opens as UTF-8, which is how such a station is decoded anyway.
int EncodingPosition(int code) {
    return code >= 0 && code < kStationCodeCount ? code : kStationCodeUtf8;
}
}  // namespace

int JobTypeFor(bool weekly, int dayMask) {
    return weekly && dayMask != 0 ? kJobTypeWeekly : 0;
}

RadioEdit::RadioEdit(StationLists& lists, int tab, int editRow)
    : lists_(lists), target_(TargetOf(tab)), editRow_(target_ == Target::None ? -1 : editRow) {}

RadioEditFields RadioEdit::Load(const QTime& now) const {
    RadioEditFields f{.start = now, .stop = now};
    if (!Editing())
        return f;
    const StationRow row =
        (target_ == Target::Favorites ? lists_.favoriteList : lists_.jobList).Row(editRow_);
    f.name = row.title;
    f.url = row.file;
    f.comment = row.comment;
    f.code = EncodingPosition(row.code);
    if (target_ == Target::Jobs) {
        f.runJob = row.runJob != 0;
        f.mode = row.jobMode == kJobModeRecord || row.jobMode == kJobModeRecordOnly ? row.jobMode : 0;
        f.weekly = row.jobType != 0;
        f.dayMask = row.weekMark;
        f.start = ReadJobTime(row.jobStart).value_or(now);
        f.stop = ReadJobTime(row.jobStop).value_or(now);
    }
    return f;
}

RadioEdit::Result RadioEdit::Store(RadioEditFields fields) const {
    const Result result = StoreInList(std::move(fields));
    if (result.outcome == Outcome::Updated || result.outcome == Outcome::Appended)
        lists_.changes.Announce(target_ == Target::Favorites ? KeptList::Favorites : KeptList::Jobs);
    return result;
}

RadioEdit::Result RadioEdit::StoreInList(RadioEditFields f) const {
    if (f.url.isEmpty())
        return {Outcome::Refused};
    if (f.name.isEmpty())
        f.name = f.url;
    if (target_ == Target::None)
        return {Outcome::Nothing};

    if (target_ == Target::Favorites) {
        clsSongArray& list = lists_.favoriteList;
        if (Editing()) {
            list.SetTitle(editRow_, f.name);
            list.SetCode(editRow_, f.code);
            list.SetComment(editRow_, f.comment);
            list.SetFile(editRow_, f.url);
            return {Outcome::Updated, editRow_};
        }
        list.AddItem({.file = f.url, .title = f.name, .code = f.code, .comment = f.comment});
        return {Outcome::Appended, list.ListCount() - 1};
    }

    clsSongArray& list = lists_.jobList;
    const QString start = ClockText(f.start);
    const QString stop = ClockText(f.stop);
    const int jobType = JobTypeFor(f.weekly, f.dayMask);
    const int runJob = f.runJob ? kJobEnabled : 0;
    // The day mask is kept with "每天" too, so switching back to "每週" later shows the days.
    if (Editing()) {
        list.SetRunJob(editRow_, runJob);
        list.SetCode(editRow_, f.code);
        list.SetTitle(editRow_, f.name);
        list.SetJobMode(editRow_, f.mode);
        list.SetJobType(editRow_, jobType);
        list.SetJobStart(editRow_, start);
        list.SetJobStop(editRow_, stop);
        list.SetFile(editRow_, f.url);
        list.SetWeekMark(editRow_, f.dayMask);
        list.SetComment(editRow_, f.comment);
        return {Outcome::Updated, editRow_};
    }
    list.AddItem({.file = f.url,
                  .title = f.name,
                  .code = f.code,
                  .comment = f.comment,
                  .jobMode = f.mode,
                  .jobType = jobType,
                  .jobStart = start,
                  .jobStop = stop,
                  .runJob = runJob,
                  .weekMark = f.dayMask});
    return {Outcome::Appended, list.ListCount() - 1};
}

}  // namespace wavelot
