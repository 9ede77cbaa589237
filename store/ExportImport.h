// Planning the import of another program's export, whatever its kind: KeePass 2 XML (told by its
// root element), Bitwarden JSON (told by its opening brace) or CSV (anything else). Text that is
// not UTF-8 is made so first (see ImportEncoding.h) and the plan says how; XML says its encoding
// itself, and libxml2 reads it.
#pragma once

#include "ImportPlan.h"

#include <string>
#include <string_view>

// Plans the import of the file's bytes against the list's index. False, with the reason and an
// empty plan, when the file is refused whole.
bool PlanExportImport(std::string_view bytes, const EntryIndex& list, ImportPlan& plan, std::string& reason);

// As PlanExportImport, for the file at path, read with ReadImportFile.
bool PlanExportFileImport(const std::string& path, const EntryIndex& list, ImportPlan& plan, std::string& reason);

// Plans the import of another book's entries against the list's index, under the same rules. The
// caller loads the book and checks its administrator and password, as a login does.
void PlanBookImport(const AccountBook& book, const EntryIndex& list, ImportPlan& plan);
