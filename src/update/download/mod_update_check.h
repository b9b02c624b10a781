#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace quillfen {

// Help > Check for updated version: downloads the home page, compares the version it publishes
// with the program's own and tells the user in one message box; on a newer version the user may
// open the home page in the browser.
void CheckForUpdatedVersion();

// "http://" + home host + "/App_Quillfen.htm", for the download and the browser alike.
QString GetHomePageUrl();
// The padded version the page at `url` publishes, or empty.
QString GetVersionFromWebPage(const QString& url);
// The body of whatever the server answers (error pages too), decoded byte for character; empty
// when it cannot be reached. Blocks the caller (user input held back, painting goes on) for at
// most the time-out, and reads at most 1 MiB. Access type 1 goes direct, anything else through
// the system's proxy configuration.
QString GetWebPage(const QString& url, qint32 accessType);

// The program's own version, "major.minor.revision".
QString ownVersionText();

// How the home page is opened; an empty function restores the desktop's default browser.
void setUrlOpener(std::function<bool(const QUrl&)> opener);
// Tests shorten the 30 s download time-out and point the home page at a local server; 0 and an
// empty host restore the defaults.
void setWebPageTimeoutForTesting(int milliseconds);
void setHomeHostForTesting(const QString& host);
// Tests find the download's module below the built program directory; empty restores the default,
// below the program's own.
void setWebPageModuleDirectoryForTesting(const QString& directory);

} // namespace quillfen
