// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/browser/sites.h"

#include <QtGlobal>

namespace kz {

namespace {

QUrl httpUrl(const QString &host, const QString &path)
{
    // Built from text rather than with QUrl::setHost so that a host may carry
    // a port, which is how a local test server is reached.
    return QUrl(QStringLiteral("http://%1%2").arg(host, path), QUrl::StrictMode);
}

// Empty or blank values are ignored: they would make addresses without a host.
void takeHost(QString *host, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.isEmpty())
        *host = trimmed;
}

} // namespace

QUrl SiteSettings::devicePage() const
{
    return httpUrl(siteHost, QStringLiteral("/kz"));
}

QUrl SiteSettings::homePage() const
{
    return httpUrl(siteHost, QStringLiteral("/"));
}

QUrl SiteSettings::helpPdf() const
{
    return httpUrl(pdfHost, QStringLiteral("/KZM.pdf"));
}

SiteSettings SiteSettings::fromEnvironmentAndArguments(const QStringList &args)
{
    SiteSettings settings;
    takeHost(&settings.siteHost, qEnvironmentVariable("KZ_SITE_HOST"));
    takeHost(&settings.pdfHost, qEnvironmentVariable("KZ_PDF_HOST"));

    const struct {
        QString option;
        QString *host;
    } options[] = {
        {QStringLiteral("--site-host"), &settings.siteHost},
        {QStringLiteral("--pdf-host"), &settings.pdfHost},
    };
    // The first argument is the program itself.
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        for (const auto &option : options) {
            if (arg == option.option) {
                // A missing value must not swallow the option after it.
                if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-')))
                    takeHost(option.host, args.at(++i));
                break;
            }
            if (arg.startsWith(option.option + QLatin1Char('='))) {
                takeHost(option.host, arg.mid(option.option.size() + 1));
                break;
            }
        }
    }
    return settings;
}

} // namespace kz
