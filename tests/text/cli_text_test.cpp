// wavelot-cli decode, entities and urlencode: exact output, exit status and usage errors.
#include <gtest/gtest.h>

#include "tests/support/cli_runner.h"

using namespace Qt::StringLiterals;

namespace {

using wavelot::test::CliResult;
using wavelot::test::RunCli;

CliResult Cli(const QStringList& args) {
    return RunCli(args, 30000);
}

QString Uao() {
    return QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/text/Uao.txt"_s;
}

TEST(CliDecode, PrintsTextAsUtf8OrAsCodeUnits) {
    CliResult r = Cli({u"decode"_s, u"--codepage"_s, u"950"_s, u"A5BFC5E9A440"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\xE6\xAD\xA3\xE9\xAB\x94\xE4\xB8\x80\n");  // 正體一
    r = Cli({u"decode"_s, u"--units"_s, u"--codepage"_s, u"932"_s, u"81608740fa40"_s});
    EXPECT_EQ(r.out, "U+FF5E U+2460 U+2170\n");
    r = Cli({u"decode"_s, u"--code"_s, u"0"_s, u"--units"_s, u"EFBBBF"_s});
    EXPECT_EQ(r.out, "U+FEFF\n");
    r = Cli({u"decode"_s, u"--code"_s, u"0"_s, u"--units"_s, u"41004200"_s});
    EXPECT_EQ(r.out, "U+0041 U+0000 U+0042 U+0000\n");
    r = Cli({u"decode"_s, u"--code"_s, u"0"_s, u"410042"_s});
    EXPECT_EQ(r.out, QByteArray("A\0B\n", 4));
}

TEST(CliDecode, EmptyResultsPrintAnEmptyLine) {
    for (const QStringList& args : {QStringList{u"decode"_s, u"--code"_s, u"5"_s, u"41"_s},
                                    QStringList{u"decode"_s, u"--code"_s, u"1"_s, u"--units"_s, u""_s},
                                    QStringList{u"decode"_s, u"--codepage"_s, u"1252"_s, u"41"_s}}) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, 0) << args.join(u' ').toStdString();
        EXPECT_EQ(r.out, "\n") << args.join(u' ').toStdString();
    }
}

TEST(CliDecode, AppliesTheExtensionTableOnlyWhenGiven) {
    // The table is keyed by decoded code units: FA40 decodes to U+E000, whose first line is
    // overridden by a later one; E311 is cancelled, the blank-ended and malformed lines are
    // skipped, lower-case digits read.
    CliResult r =
        Cli({u"decode"_s, u"--code"_s, u"1"_s, u"--uao"_s, Uao(), u"--units"_s, u"FA40C6A18E40FA418140"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "U+7881 U+9F98 U+E311 U+4E01 U+EEB8\n");
    r = Cli({u"decode"_s, u"--code"_s, u"1"_s, u"--units"_s, u"FA40C6A1"_s});
    EXPECT_EQ(r.out, "U+E000 U+F6B1\n");
    // Under any station code (a bare code page takes no table: see the usage errors).
    r = Cli({u"decode"_s, u"--uao"_s, Uao(), u"--code"_s, u"0"_s, u"--units"_s, u"EE8080"_s});
    EXPECT_EQ(r.out, "U+7881\n");
    r = Cli({u"decode"_s, u"--uao"_s, Uao(), u"--code"_s, u"0"_s, u"--units"_s, u"EF9AB1"_s});
    EXPECT_EQ(r.out, "U+9F98\n");
    // A missing table file means no table.
    r = Cli(
        {u"decode"_s, u"--code"_s, u"1"_s, u"--uao"_s, u"/nonexistent/Uao.txt"_s, u"--units"_s, u"FA40"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "U+E000\n");
}

TEST(CliDecode, WrongArgumentsAreUsageErrors) {
    const QStringList cases[] = {
        {u"decode"_s},
        {u"decode"_s, u"41"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"--codepage"_s, u"950"_s, u"41"_s},
        {u"decode"_s, u"--code"_s, u"x"_s, u"41"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"414"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"4G"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"41 42"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"41"_s, u"42"_s},
        {u"decode"_s, u"--codepage"_s, u"950"_s, u"--uao"_s, u"x"_s, u"41"_s},
        {u"decode"_s, u"--code"_s, u"1"_s, u"--bogus"_s, u"41"_s},
        {u"decode"_s, u"--code"_s},
        {u"entities"_s},
        {u"entities"_s, u"a"_s, u"b"_s},
        {u"urlencode"_s},
        {u"urlencode"_s, u"a"_s, u"b"_s},
        {u"nosuchcommand"_s},
    };
    for (const QStringList& args : cases) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("usage:")) << args.join(u' ').toStdString();
    }
}

TEST(CliEntities, PrintsTheDecodedText) {
    CliResult r = Cli({u"entities"_s, u"<b>Rock</b> &amp; Roll &amp;eacute; &#150;"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Rock & Roll \xC3\xA9 \xE2\x80\x93\n");
    r = Cli({u"entities"_s, u"--units"_s, u"&nbsp;&#8217;"_s});
    EXPECT_EQ(r.out, "U+0020 U+0026 U+0023 U+0038 U+0032 U+0031 U+0037 U+003B\n");
    r = Cli({u"entities"_s, u"--units"_s, u""_s});
    EXPECT_EQ(r.out, "\n");
}

TEST(CliUrlEncode, PrintsEveryByteEncoded) {
    CliResult r = Cli({u"urlencode"_s, u"a b"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "%61%20%62\n");
    r = Cli({u"urlencode"_s, u"中"_s});
    EXPECT_EQ(r.out, "%E4%B8%AD\n");
    r = Cli({u"urlencode"_s, u""_s});
    EXPECT_EQ(r.out, "\n");
}

}  // namespace
