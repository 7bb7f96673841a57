#include <gtest/gtest.h>

#include "net/url_encode.h"

namespace wavelot {
namespace {

TEST(UrlEncode, EncodesEveryUtf8Byte) {
    EXPECT_EQ(UrlEncode(QStringLiteral("a b")), QStringLiteral("%61%20%62"));
    EXPECT_EQ(UrlEncode(QStringLiteral("中")), QStringLiteral("%E4%B8%AD"));
    EXPECT_EQ(UrlEncode(QString()), QString());
    EXPECT_EQ(UrlEncode(QStringLiteral("\n-_.~")), QStringLiteral("%0A%2D%5F%2E%7E"));
    EXPECT_EQ(UrlEncode(QString::fromUtf16(u"\U0001F3B5")), QStringLiteral("%F0%9F%8E%B5"));
}

TEST(UrlEncode, StopsAtTheFirstNul) {
    EXPECT_EQ(UrlEncode(QString::fromUtf16(u"a\0b", 3)), QStringLiteral("%61"));
    EXPECT_EQ(UrlEncode(QString::fromUtf16(u"\0b", 2)), QString());
}

}  // namespace
}  // namespace wavelot
