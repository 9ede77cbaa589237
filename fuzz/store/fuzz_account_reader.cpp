// Any file content loads or is refused without harm, with the same outcome and book as a read of
// the file's whole tree. A book that loads and can be written again reads back the same.
#include "AccountFile.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Whether b holds a's texts, its entries numbered as a's are or, once written, by position.
bool SameBooks(const AccountBook& a, const AccountBook& b, bool numberedByPosition) {
    if (FieldText(a.szAdminAccount) != FieldText(b.szAdminAccount) ||
        FieldText(a.szAdminPassword) != FieldText(b.szAdminPassword) || a.vecEntries.size() != b.vecEntries.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.vecEntries.size(); ++i) {
        const AccountEntry& x = a.vecEntries[i];
        const AccountEntry& y = b.vecEntries[i];
        const std::int32_t number = numberedByPosition ? static_cast<std::int32_t>(i) : x.nIndex;
        if (FieldText(x.szAccount) != FieldText(y.szAccount) || FieldText(x.szPassword) != FieldText(y.szPassword) ||
            FieldText(x.szComment) != FieldText(y.szComment) || y.nIndex != number) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile input("input.xml");
    static const ScratchFile output("output.xml");
    input.Write(data, size);
    const CBase64 codec;
    AccountBook loaded;
    const bool readable = LoadAccountBook(loaded, input.Path(), codec);
    AccountBook fromTree;
    if (account_file_test::LoadAccountBookFromTree(fromTree, input.Path(), codec) != readable ||
        !SameBooks(loaded, fromTree, false)) {
        std::abort();
    }
    if (!readable || FieldText(loaded.szAdminAccount).empty()) {
        return 0;
    }
    if (!SaveAccountBook(loaded, output.Path(), codec)) {
        return 0;
    }
    AccountBook reloaded;
    if (!LoadAccountBook(reloaded, output.Path(), codec) || !SameBooks(loaded, reloaded, true)) {
        std::abort();
    }
    return 0;
}
