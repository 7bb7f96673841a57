#include "net/url_encode.h"

#include "text/code_page.h"

namespace wavelot {

QString UrlEncode(const QString& text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const QByteArray bytes = EncodeUtf8(text);
    QString out(bytes.size() * 3, Qt::Uninitialized);
    QChar* p = out.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *p++ = u'%';
        *p++ = QChar(kHex[b >> 4]);
        *p++ = QChar(kHex[b & 0x0F]);
    }
    return out;
}

}  // namespace wavelot
