// Planning the import of KeePass 2's XML export, which KeePass and KeePassXC both write (see
// ImportPlan.h for the rules every row comes in under).
//
// Each entry's Title goes to Comment (its URL where it has none), UserName to ID(Account) and
// Password to Password. Its other strings (URL beside a title, Notes, custom fields), its tags,
// attachments and history, and the group it is in below the top group are left behind and listed.
// Entries of the recycle bin and earlier versions of an entry are no entries to bring in. A value
// encrypted for the database's inner stream cannot be read, and its entry is refused.
//
// The text is read by libxml2 as the book reader reads a book: a document type declaration stops
// the parse, so no entity is declared or expanded and nothing outside the text is ever read, and
// libxml2's limits on depth and sizes apply.
#pragma once

#include "ImportPlan.h"

#include <string>
#include <string_view>

// The source a KeePass 2 XML export is recognised as.
inline constexpr char kKeePassXmlSource[] = "KeePass 2 XML";

// Whether the text is XML whose root element is KeePassFile.
bool IsKeePassXml(std::string_view text);

// Plans the import of the text against the list's index. False, with the reason and an empty plan,
// for text that is not well-formed XML, holds a document type declaration, is no KeePass export, or
// holds more than kMaxImportRows entries.
bool PlanKeePassXmlImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason);
