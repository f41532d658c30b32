// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace kz {

// The web addresses the program shows. Only the host names are settings; the
// paths on them are fixed. Defaults, then KZ_SITE_HOST / KZ_PDF_HOST, then the
// options --site-host NAME / --pdf-host NAME (or --site-host=NAME), each
// overriding the one before. A host may carry a port ("localhost:8080").
struct SiteSettings {
    static constexpr auto kDefaultSiteHost = "www.example.com";
    static constexpr auto kDefaultPdfHost = "www.example.org";

    QString siteHost = QString::fromLatin1(kDefaultSiteHost); // the maker's site
    QString pdfHost = QString::fromLatin1(kDefaultPdfHost); // where the help PDF is

    QUrl devicePage() const; // http://<siteHost>/kz
    QUrl homePage() const; // http://<siteHost>/
    QUrl helpPdf() const; // http://<pdfHost>/KZM.pdf

    // args as from QCoreApplication::arguments(); options it does not know
    // are left for others.
    static SiteSettings fromEnvironmentAndArguments(const QStringList &args);
};

} // namespace kz
