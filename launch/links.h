#pragma once

#include <QString>

// The maker's web addresses; every link of the program uses the same host.
namespace Links {

QString siteHost();
// The home page with the referral query.
QString homePageUrl();
// A product page: its folder on the site, then "index.shtml" with the referral query.
QString productPageUrl(const QString &folder);
// The published version file that the update check reads.
QString updateFileUrl();
QString supportMailUrl();

} // namespace Links
