#include "text/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>

namespace wavelot {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// ICU names of the converters that are transcriptions of the Windows tables. The short
// aliases ("cp950", "cp949") open IBM tables with different choices, so they are not used.
const char* IcuName(int codePage) {
    switch (codePage) {
    case kCodePageUtf8: return "UTF-8";
    case kCodePageBig5: return "windows-950-2000";
    case kCodePageGbk: return "windows-936-2000";
    case kCodePageShiftJis: return "ibm-943_P15A-2003";
    case kCodePageKorean: return "windows-949-2000";
    default: return nullptr;
    }
}

// Windows 932 gives these single bytes a code unit of their own; ICU's table leaves them
// unassigned.
char16_t ShiftJisSingleByte(unsigned char byte) {
    switch (byte) {
    case 0x80: return 0x0080;
    case 0xA0: return 0xF8F0;
    case 0xFD: return 0xF8F1;
    case 0xFE: return 0xF8F2;
    case 0xFF: return 0xF8F3;
    default: return 0;
    }
}

// Called by ICU for every sequence it cannot map. Whatever the reason, one replacement
// character stands for the sequence (ICU already keeps a following valid byte out of it), except
// where Windows defines the byte after all.
void ToUnicodeCallback(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                       int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR)
        return;  // reset, close, clone: nothing to write
    const int codePage = *static_cast<const int*>(context);
    char16_t unit = kReplacement;
    if (codePage == kCodePageShiftJis && length == 1) {
        if (char16_t u = ShiftJisSingleByte(static_cast<unsigned char>(codeUnits[0])))
            unit = u;
    }
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, reinterpret_cast<const UChar*>(&unit), 1, 0, err);
}

// ICU's 932 table follows IBM for three control bytes (1A, 1C and 7F are rotated); Windows maps
// every byte below 80 to itself. Nothing else in that table yields these three code units, so
// the rotation can be undone on the result.
void FixShiftJisControls(QString& text) {
    for (QChar& c : text) {
        switch (c.unicode()) {
        case 0x001C: c = QChar(0x001A); break;
        case 0x007F: c = QChar(0x001C); break;
        case 0x001A: c = QChar(0x007F); break;
        default: break;
        }
    }
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};

}  // namespace

bool IsSupportedCodePage(int codePage) {
    return IcuName(codePage) != nullptr;
}

QString DecodeBytes(const QByteArray& bytes, int codePage) {
    const char* name = IcuName(codePage);
    if (!name || bytes.isEmpty())
        return {};

    const char* src = bytes.constData();
    const char* srcEnd = src + bytes.size();
    if (bytes.size() > 3 && bytes.startsWith("\xEF\xBB\xBF"))
        src += 3;

    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> cnv(ucnv_open(name, &err));
    if (U_FAILURE(err))
        return {};
    ucnv_setToUCallBack(cnv.get(), &ToUnicodeCallback, &codePage, nullptr, nullptr, &err);
    if (U_FAILURE(err))
        return {};

    // Every one of these code pages yields at most one code unit per byte (UTF-8 needs four bytes
    // for a surrogate pair, and a replacement stands for at least one byte), so this size is
    // enough; the loop only guards against a converter that thinks otherwise.
    QString out(static_cast<qsizetype>(srcEnd - src) + 4, Qt::Uninitialized);
    qsizetype written = 0;
    for (;;) {
        UChar* base = reinterpret_cast<UChar*>(out.data());
        UChar* target = base + written;
        ucnv_toUnicode(cnv.get(), &target, base + out.size(), &src, srcEnd, nullptr, true, &err);
        written = target - base;
        if (err != U_BUFFER_OVERFLOW_ERROR)
            break;
        err = U_ZERO_ERROR;
        out.resize(out.size() * 2);
    }
    if (U_FAILURE(err))
        return {};
    out.truncate(written);
    if (codePage == kCodePageShiftJis)
        FixShiftJisControls(out);
    return out;
}

QByteArray EncodeUtf8(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    QString head = text.left(nul < 0 ? text.size() : nul);
    // Qt would write '?' for an unpaired surrogate; Windows writes U+FFFD.
    for (qsizetype i = 0; i < head.size(); ++i) {
        const QChar c = head.at(i);
        if (c.isHighSurrogate() && i + 1 < head.size() && head.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            head[i] = QChar(kReplacement);
        }
    }
    return head.toUtf8();
}

}  // namespace wavelot
