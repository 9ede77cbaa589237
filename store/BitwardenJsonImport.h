// Planning the import of Bitwarden's unencrypted JSON export (see ImportPlan.h for the rules every
// row comes in under). The text is read by nlohmann's JSON library, after a check that its nesting
// stays shallow, so that no text can exhaust the stack.
//
// Each login's name goes to Comment (its first URI where it has none), its username to ID(Account)
// and its password to Password. Its folder, notes, custom fields, further URIs, one-time-password
// seed, passkeys and password history are left behind and listed. Secure notes, cards, identities
// and keys are no logins, and are refused. Items are told apart by their place in the file.
#pragma once

#include "ImportPlan.h"

#include <string>
#include <string_view>

// The source a Bitwarden JSON export is recognised as.
inline constexpr char kBitwardenJsonSource[] = "Bitwarden JSON";

// Whether the UTF-8 text starts as a JSON object does (after a byte-order mark and blanks).
bool StartsAsJsonObject(std::string_view text);

// Plans the import of the UTF-8 text against the list's index. False, with the reason and an empty
// plan, for text that is not JSON, nests too deep, is an encrypted export or holds no items, or
// holds more than kMaxImportRows items.
bool PlanBitwardenJsonImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason);
