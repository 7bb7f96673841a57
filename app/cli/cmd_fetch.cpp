// wavelot-cli fetch: one directory-style fetch, printed as text.
#include <QByteArray>
#include <QString>

#include <charconv>
#include <cstdio>

#include "app/cli/command_registry.h"
#include "net/http_fetch.h"

namespace wavelot::cli {
namespace {

int RunFetch(const CommandArgs& args) {
    if (args.size() != 2)
        return UsageError("fetch");
    int codePage = 0;
    const std::string& cp = args[1];
    auto [ptr, ec] = std::from_chars(cp.data(), cp.data() + cp.size(), codePage);
    if (cp.empty() || ec != std::errc() || ptr != cp.data() + cp.size())
        return UsageError("fetch");

    const QString text = HttpGetText(QString::fromStdString(args[0]), codePage);
    QByteArray out = text.toUtf8();
    out.append('\n');
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fflush(stdout);
    return text.isEmpty() ? 1 : 0;
}

const CommandRegistration kFetch{"fetch", "fetch URL CODEPAGE", &RunFetch};

}  // namespace
}  // namespace wavelot::cli
