#include "tools/vendor-site/news_page.h"

#include <QFile>
#include <QList>

namespace vendor_site {

QByteArray newsPageBody(const QDir& root) {
    QFile file(root.filePath(QString::fromLatin1(kHeadlinesFile)));
    QList<QByteArray> headlines;
    if (file.open(QIODevice::ReadOnly)) {
        for (QByteArray line : file.readAll().split('\n')) {
            line = line.replace('|', ' ').trimmed();
            if (!line.isEmpty()) {
                headlines.append(line);
            }
        }
    }
    return "<html><body>\nTheSummaries = [" + headlines.join('|') + "] END\n</body></html>\n";
}

}  // namespace vendor_site
