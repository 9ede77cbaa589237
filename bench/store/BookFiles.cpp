#include "BookFiles.h"

#include "AccountFile.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace bench_store {
namespace {

std::string RandomText(std::mt19937& random, std::size_t minLength, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
    std::uniform_int_distribution<int> printable(0x21, 0x7E);
    std::string text(length(random), ' ');
    for (char& c : text) {
        c = static_cast<char>(printable(random));
    }
    return text;
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

AccountBook MakeBook(std::size_t entries) {
    std::mt19937 random(static_cast<unsigned>(entries));
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "benchmark");
    CopyFieldText(book.szAdminPassword, "administrator password");
    book.vecEntries.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        AccountEntry entry;
        entry.nIndex = -1;
        CopyFieldText(entry.szAccount, RandomText(random, 6, 40));
        CopyFieldText(entry.szPassword, RandomText(random, 8, 32));
        CopyFieldText(entry.szComment, RandomText(random, 0, 60));
        book.vecEntries.push_back(entry);
    }
    return book;
}

std::string ScratchPath(const std::string& name) {
    static ScratchFolder folder;
    return folder.Path().empty() ? std::string() : folder.Path() + "/" + name;
}

std::string SavedBookPath(std::size_t entries) {
    static std::map<std::size_t, std::string> paths;
    auto found = paths.find(entries);
    if (found != paths.end()) {
        return found->second;
    }
    const std::string path = ScratchPath("book" + std::to_string(entries) + ".xml");
    if (path.empty() || !SaveAccountBook(MakeBook(entries), path, CBase64())) {
        return {};
    }
    paths.emplace(entries, path);
    return path;
}

} // namespace bench_store
