#include "core/ini_file.h"

#include "core/atomic_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>
#include <limits>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString TrimBlanks(QStringView v) {
    return TrimIniBlanks(v).toString();
}

QString Unquote(const QString& v) {
    return UnquoteIniValue(v).toString();
}

// "[name]" with optional blanks before; text after "]" is ignored like the Windows service.
bool ParseHeader(const QString& line, QString* name) {
    const QString t = TrimBlanks(line);
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return false;
    if (name)
        *name = TrimBlanks(QStringView(t).sliced(1, close - 1));
    return true;
}

bool ParseKey(const QString& line, QString* key, QString* value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    const QString k = TrimBlanks(QStringView(line).first(eq));
    if (k.isEmpty())
        return false;
    if (key)
        *key = k;
    if (value)
        *value = Unquote(TrimBlanks(QStringView(line).sliced(eq + 1)));
    return true;
}

bool SameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// A value must stay on its own line: CR, LF and NUL become blanks.
QString OneLine(const QString& v) {
    QString out = v;
    for (QChar& c : out)
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    return out;
}

}  // namespace

QStringView TrimIniBlanks(QStringView v) {
    qsizetype b = 0, e = v.size();
    while (b < e && IsBlank(v[b]))
        ++b;
    while (e > b && IsBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

QStringView UnquoteIniValue(QStringView v) {
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.sliced(1, v.size() - 2);
    return v;
}

bool IniDocument::Load(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        Parse(QByteArray());
        return false;
    }
    Parse(f.readAll());
    return true;
}

void IniDocument::Parse(const QByteArray& bytes) {
    lines_.clear();
    index_.reset();
    QByteArray body = bytes;
    if (bytes.startsWith("\xFF\xFE")) {
        encoding_ = Encoding::Utf16Le;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8Bom;
    } else {
        encoding_ = Encoding::Utf8;
    }
    const int unit = encoding_ == Encoding::Utf16Le ? 2 : 1;
    const qsizetype start = encoding_ == Encoding::Utf16Le ? 2 : encoding_ == Encoding::Utf8Bom ? 3 : 0;

    auto unitAt = [&](qsizetype p) -> char16_t {
        if (unit == 1)
            return static_cast<unsigned char>(bytes[p]);
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[p]) |
                                     (static_cast<unsigned char>(bytes[p + 1]) << 8));
    };
    QStringDecoder decoder(unit == 2 ? QStringDecoder::Utf16LE : QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless);
    auto decode = [&](qsizetype from, qsizetype len) {
        return QString(decoder(QByteArrayView(bytes).sliced(from, len)));
    };

    // An odd trailing byte of a UTF-16 file is kept as raw bytes of the last line.
    const qsizetype end = bytes.size() - ((bytes.size() - start) % unit);
    qsizetype lineStart = start;
    qsizetype p = start;
    while (p < end) {
        const char16_t c = unitAt(p);
        if (c == u'\n' || c == u'\r') {
            qsizetype textEnd = p;
            qsizetype next = p + unit;
            QString eol = c == u'\n' ? u"\n"_s : u"\r"_s;
            if (c == u'\r' && next < end && unitAt(next) == u'\n') {
                next += unit;
                eol = u"\r\n"_s;
            }
            lines_.push_back(
                {decode(lineStart, textEnd - lineStart), bytes.mid(lineStart, next - lineStart), eol});
            lineStart = p = next;
        } else {
            p += unit;
        }
    }
    if (lineStart < bytes.size())
        lines_.push_back({decode(lineStart, end - lineStart), bytes.mid(lineStart), QString()});
}

QByteArray IniDocument::Encode(const QString& text) const {
    if (encoding_ == Encoding::Utf16Le) {
        QStringEncoder e(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
        return e(text);
    }
    return text.toUtf8();
}

int IniDocument::FindSection(const QString& section, int from) const {
    QString name;
    for (int i = from; i < static_cast<int>(lines_.size()); ++i)
        if (ParseHeader(lines_[static_cast<size_t>(i)].text, &name) && SameName(name, section))
            return i;
    return -1;
}

int IniDocument::SectionEnd(int headerLine) const {
    int i = headerLine + 1;
    while (i < static_cast<int>(lines_.size()) && !ParseHeader(lines_[static_cast<size_t>(i)].text, nullptr))
        ++i;
    return i;
}

const IniDocument::KeyIndex& IniDocument::Index() const {
    if (index_)
        return *index_;
    KeyIndex idx;
    QHash<QString, QString>* current = nullptr;
    int* currentCount = nullptr;
    QString name, k, v;
    for (const Line& line : lines_) {
        if (ParseHeader(line.text, &name)) {
            const QString folded = name.toCaseFolded();
            current = &idx.values[folded];
            currentCount = &idx.keyCounts[folded];
        } else if (current && ParseKey(line.text, &k, &v)) {
            ++*currentCount;
            const QString folded = k.toCaseFolded();
            if (!current->contains(folded))
                current->insert(folded, v);
        }
    }
    index_ = std::move(idx);
    return *index_;
}

std::optional<QString> IniDocument::Value(const QString& section, const QString& key) const {
    const KeyIndex& idx = Index();
    const auto sec = idx.values.constFind(TrimBlanks(section).toCaseFolded());
    if (sec == idx.values.cend())
        return std::nullopt;
    const auto it = sec->constFind(TrimBlanks(key).toCaseFolded());
    if (it == sec->cend())
        return std::nullopt;
    return *it;
}

int IniDocument::KeyCount(const QString& section) const {
    return Index().keyCounts.value(TrimBlanks(section).toCaseFolded(), 0);
}

QString IniDocument::DefaultEol() const {
    for (const Line& l : lines_)
        if (!l.eol.isEmpty())
            return l.eol;
    return u"\r\n"_s;
}

bool IniDocument::SetValue(const QString& section, const QString& key, const QString& value) {
    index_.reset();
    const QString sec = TrimBlanks(section);
    const QString k = TrimBlanks(key);
    if (sec.isEmpty() || k.isEmpty() || sec.contains(u']') || k.contains(u'=') || k.startsWith(u'[') ||
        sec != OneLine(sec) || k != OneLine(k))
        return false;
    const QString v = OneLine(value);

    QString lk;
    for (int h = FindSection(sec, 0); h >= 0; h = FindSection(sec, h + 1)) {
        const int end = SectionEnd(h);
        for (int i = h + 1; i < end; ++i) {
            Line& line = lines_[static_cast<size_t>(i)];
            if (ParseKey(line.text, &lk, nullptr) && SameName(lk, k)) {
                line.text = lk + u'=' + v;
                line.raw.clear();
                return true;
            }
        }
    }

    const QString eol = DefaultEol();
    // The line before an insertion point must be ended, or the new line would join it.
    auto endLine = [&](int i) {
        Line& l = lines_[static_cast<size_t>(i)];
        if (l.eol.isEmpty()) {
            l.eol = eol;
            l.raw.clear();
        }
    };

    const int h = FindSection(sec, 0);
    if (h >= 0) {
        // After the section's last non-blank line, so blank separator lines stay below it.
        int at = SectionEnd(h);
        while (at - 1 > h && TrimBlanks(lines_[static_cast<size_t>(at - 1)].text).isEmpty())
            --at;
        endLine(at - 1);
        lines_.insert(lines_.begin() + at, Line{k + u'=' + v, QByteArray(), eol});
        return true;
    }
    if (!lines_.empty())
        endLine(static_cast<int>(lines_.size()) - 1);
    lines_.push_back(Line{u'[' + sec + u']', QByteArray(), eol});
    lines_.push_back(Line{k + u'=' + v, QByteArray(), eol});
    return true;
}

QByteArray IniDocument::Serialize() const {
    QByteArray out;
    if (encoding_ == Encoding::Utf16Le)
        out += "\xFF\xFE";
    if (encoding_ == Encoding::Utf8Bom)
        out += "\xEF\xBB\xBF";
    for (const Line& l : lines_)
        out += l.raw.isEmpty() ? Encode(l.text + l.eol) : l.raw;
    return out;
}

bool IniDocument::Save(const QString& file) const {
    return WriteFileAtomically(file, Serialize());
}

QString ReadIniWhole(const QString& section, const QString& key, const QString& file) {
    IniDocument doc;
    if (!doc.Load(file))
        return QString();
    QString v = doc.Value(section, key).value_or(QString());
    v.remove(QChar(0));
    return v;
}

QString ReadIni(const QString& section, const QString& key, const QString& file) {
    return ReadIniWhole(section, key, file).left(kIniReadLimit);
}

int LenientInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    qint64 n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i].unicode() - u'0');
        if (n > std::numeric_limits<int>::max())
            n = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negative)
        n = -n;
    if (n > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (n < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(n);
}

int StrictInt(const QString& text, bool* ok) {
    bool good = false;
    const int n = TrimBlanks(text).toInt(&good, 10);
    if (ok)
        *ok = good;
    return good ? n : 0;
}

int ReadIniInt(const QString& section, const QString& key, const QString& file) {
    return LenientInt(ReadIni(section, key, file));
}

int ReadIniIntStrict(const QString& section, const QString& key, const QString& file, bool* ok) {
    return StrictInt(ReadIni(section, key, file), ok);
}

bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file) {
    IniDocument doc;
    if (!doc.Load(file) && QFile::exists(file))
        return false;  // exists but unreadable: keep it
    if (!doc.SetValue(section, key, value))
        return false;
    return doc.Save(file);
}

bool WriteIni(const QString& section, const QString& key, int value, const QString& file) {
    return WriteIni(section, key, QString::number(value), file);
}

QString FormatIniNumber(double value) {
    if (!std::isfinite(value))
        return u"0"_s;
    if (value == std::trunc(value) && std::fabs(value) < 9.0e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

bool WriteIni(const QString& section, const QString& key, double value, const QString& file) {
    return WriteIni(section, key, FormatIniNumber(value), file);
}

}  // namespace wavelot
