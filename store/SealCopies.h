// The copies the program keeps beside a book (earlier versions, books kept beside a changed file,
// journals set aside) follow the book when it is sealed or unsealed, so that no copy of it stays
// readable without its password once it is sealed.
#pragma once

#include "Base64.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class BookKey;

// Rewrites each copy, read with the key `from` (or plain), under the key `to` (or plain), each whole
// and in place. A book copy takes the administrator password the key stands for, since only that
// password opens it from now on. A copy that cannot be read so (sealed under an older password, or
// not the program's) stays as it is; how many stayed is returned.
std::size_t RewriteCopies(const std::vector<std::string>& copies, const BookKey* from, const BookKey* to,
                          std::string_view adminPassword, const CBase64& codec);
