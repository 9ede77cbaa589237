// Writing the list out as a CSV file that other password managers and browsers read, and that an
// import into this program reads back to the same list, byte for byte.
//
// Every field is quoted as RFC 4180 says (a quote inside doubled), lines end with CR LF, and texts
// are written as they are: UTF-8, or whatever bytes the book holds, with no escaping of texts a
// spreadsheet would take for formulas, so that every password survives the round trip. Comment
// goes to the title or name, ID(Account) to the username and Password to the password.
#pragma once

#include "AccountBook.h"
#include "xmldom_files.h"

#include <string>

enum class ExportLayout {
    // KeePassXC's columns in its order (it reads them by position; this program by name):
    // "Group","Title","Username","Password","URL","Notes","TOTP","Icon","Last Modified","Created".
    KeePassXC,
    // The browsers' columns, "name","url","username","password","note", which Chrome, Chromium,
    // Edge and Firefox import. A comment that is a web address (http:// or https://) fills the url
    // as well, since the browsers take only rows with one.
    Browsers,
};

// The file's bytes for the entries in the layout: the header line, then one line per entry.
void FormatCsvExport(const AccountEntries& entries, ExportLayout layout, SecretBytes& bytes);

// Writes the entries in the layout to the file at path, the way books are written: in one piece,
// flushed to disk before it takes the name, readable and writable by its owner only. Refused, with
// the reason and nothing written: a symbolic link at path (never followed), anything but a regular
// file there, a file that is an XML document (as every account book is) wherever it is, a file that
// cannot be read to tell, and, in the program's folder or below it, a name a book or its side files
// may have (*.xml, *.xml.*, the saves' temporary names) or an existing file other than an earlier
// export (*.csv). programFolder is the folder that holds the program and its books. Once written,
// reason holds a note when the file's name is not yet durable, and is empty otherwise.
bool ExportCsvFile(const AccountEntries& entries, ExportLayout layout, const std::string& path,
                   const std::string& programFolder, std::string& reason);
