#include "CsvHeaderNames.h"

namespace {

const ColumnRoleNames kColumnRoleNames[] = {
    {ColumnRole::Username,
     {"username",       // Chrome, Firefox, KeePassXC, LastPass, Password Safe, most others
      "user name",      // KeePass 2's CSV export, spreadsheets
      "login name",     // KeePass 1.x
      "login_username", // Bitwarden
      "login",          // Chromium's importer, Dashlane
      "user",           // Chromium's importer
      "account"}},      // Chromium's importer; KeePass 1.x's title when a "login name" is beside it
    {ColumnRole::Password, {"password", "login_password"}}, // everyone; Bitwarden
    {ColumnRole::Title,
     {"title",       // KeePassXC, KeePass 2
      "name",        // Chrome, Bitwarden, LastPass
      "account",     // KeePass 1.x
      "group/title", // Password Safe
      "secret name", // Delinea Secret Server
      "nickname"}},  // Myki
    {ColumnRole::Url,
     {"url",       // Chrome, Firefox, KeePassXC, LastPass, Password Safe
      "login_uri", // Bitwarden
      "web site",  // KeePass 1.x
      "website",   // spreadsheets, Chromium's importer
      "uri",       //
      "hostname",  // Chromium's importer, Firefox's older exports
      "origin"}},  // Chromium's importer
    {ColumnRole::Notes,
     {"notes",                      // KeePassXC, Bitwarden, Password Safe
      "note",                       // Chrome
      "comments",                   // KeePass 1.x
      "extra",                      // LastPass
      "comment"}},                  // Chromium's importer
    {ColumnRole::Group, {"group"}}, // KeePassXC: the path of groups from its top group
    // Columns that describe the record rather than the credential: Firefox's, Bitwarden's,
    // KeePassXC's and Password Safe's times, identifiers, marks and settings.
    {ColumnRole::Description,
     {"guid",
      "timecreated",
      "timelastused",
      "timepasswordchanged",
      "httprealm",
      "formactionorigin",
      "favorite",
      "fav",
      "type",
      "reprompt",
      "icon",
      "last modified",
      "created",
      "created time",
      "password modified time",
      "last access time",
      "password expiry date",
      "password expiry interval",
      "record modified time",
      "password policy",
      "password policy name",
      "protected",
      "symbols",
      "dca",
      "shift+dca",
      "keyboard shortcut"}},
};

const KnownCsvExport kKnownCsvExports[] = {
    {"Firefox", {"url", "username", "password", "httprealm", "formactionorigin", "guid"}},
    {"Bitwarden", {"folder", "name", "login_uri", "login_username", "login_password"}},
    {"KeePassXC", {"group", "title", "username", "password", "url", "notes"}},
    {"KeePass 1.x", {"account", "login name", "password", "web site", "comments"}},
    {"LastPass", {"url", "username", "password", "extra", "name", "grouping"}},
    {kPasswordSafeSource, {"group/title", "username", "password"}},
    {"Chrome, Chromium or Edge", {"name", "url", "username", "password"}, {"note"}},
};

} // namespace

std::span<const ColumnRoleNames> CsvColumnRoleNames() {
    return kColumnRoleNames;
}

std::span<const KnownCsvExport> KnownCsvExports() {
    return kKnownCsvExports;
}
