#include "links.h"

#include "buildinfo.h"

namespace Links {
namespace {
const QString referral = QStringLiteral("?ref=quorrel");
}

QString siteHost()
{
    return QLatin1String(BuildInfo::siteHost);
}

QString homePageUrl()
{
    return QStringLiteral("https://") + siteHost() + QLatin1Char('/') + referral;
}

QString productPageUrl(const QString &folder)
{
    return QStringLiteral("https://") + siteHost() + QLatin1Char('/') + folder +
           QStringLiteral("/index.shtml") + referral;
}

QString updateFileUrl()
{
    return QStringLiteral("https://") + siteHost() + QStringLiteral("/quorrel/quorrel.xml");
}

QString supportMailUrl()
{
    return QStringLiteral("mailto:") + QLatin1String(BuildInfo::supportEmail);
}

} // namespace Links
