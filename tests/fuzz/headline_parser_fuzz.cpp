// Parses arbitrary text as a headline page and as a page address.
#include "news/HeadlineParser.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString joined = news::JoinHeadlines(text);
    // The joined text always opens with the start text, and its pieces put back together are it.
    if (!joined.startsWith(QStringLiteral("News Headline : "))) {
        std::abort();
    }
    const QStringList pieces = news::SplitHeadlines(joined);
    if (pieces.isEmpty() || pieces.join(QStringLiteral("->")) != joined) {
        std::abort();
    }
    const news::NewsTarget target = news::SplitNewsUrl(text);
    if (target.path.isEmpty() || target.host.contains(QLatin1Char('/'))) {
        std::abort();
    }
    return 0;
}
