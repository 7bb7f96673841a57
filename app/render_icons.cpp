// Build tool: writes the program's icon as PNG files for the hicolor theme,
// <out>/<n>x<n>/apps/wavelot.png for each size given, drawn by the program's own routine.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "ui/tray_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !wavelot::ProgramIconImage(size).save(dir + QStringLiteral("/wavelot.png"), "PNG")) {
            std::fprintf(stderr, "cannot write the %s pixel icon into %s\n", argv[i], argv[1]);
            return 1;
        }
    }
    return 0;
}
