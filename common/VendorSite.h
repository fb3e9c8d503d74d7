#pragma once

#include <QString>

// The vendor web site: its host is fixed when the program is built and can be overridden with
// the environment variable ZORVITA_VENDOR_HOST ("host" or "host:port"), for example to use the
// local site in tools/vendor-site.
QString VendorHost();

// "http://" + the vendor host + path (a path that begins with "/", or empty for the root).
QString VendorUrl(const QString& path = QString());
