// The committed help file must be a compiled help file that holds every page of its sources, and
// the page of messages must quote every message of the program exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bounds-checked little-endian reads over a byte buffer.
class Reader {
public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    bool Tag(std::uint64_t offset, const char* tag) const {
        return Has(offset, 4) && std::memcmp(bytes_.data() + offset, tag, 4) == 0;
    }
    std::uint64_t Le(std::uint64_t offset, int width) const {
        std::uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i) {
            value = value << 8 | bytes_[offset + i];
        }
        return value;
    }
    // A variable-length integer: seven bits a byte, most significant first, high bit = more follows.
    std::optional<std::uint64_t> EncInt(std::uint64_t& offset, std::uint64_t end) const {
        std::uint64_t value = 0;
        for (int i = 0; i < 9 && offset < end; ++i) {
            const unsigned char byte = bytes_[offset++];
            value = value << 7 | (byte & 0x7F);
            if ((byte & 0x80) == 0) {
                return value;
            }
        }
        return std::nullopt;
    }
    std::string Text(std::uint64_t offset, std::uint64_t length) const {
        return {bytes_.begin() + std::ptrdiff_t(offset), bytes_.begin() + std::ptrdiff_t(offset + length)};
    }

private:
    const Bytes& bytes_;
};

// Collects the names listed by one directory listing chunk; false when the chunk is malformed.
bool ReadListingChunk(const Reader& in, std::uint64_t chunk, std::uint64_t chunkSize, std::set<std::string>& names) {
    const std::uint64_t freeSpace = in.Le(chunk + 4, 4);
    if (freeSpace > chunkSize - 20) {
        return false;
    }
    const std::uint64_t end = chunk + chunkSize - freeSpace;
    std::uint64_t pos = chunk + 20;
    while (pos < end) {
        const std::optional<std::uint64_t> nameLength = in.EncInt(pos, end);
        if (!nameLength || *nameLength > end - pos) {
            return false;
        }
        names.insert(in.Text(pos, *nameLength));
        pos += *nameLength;
        for (int field = 0; field < 3; ++field) { // content section, offset, length
            if (!in.EncInt(pos, end)) {
                return false;
            }
        }
    }
    return true;
}

// The internal file names of a compiled help file, or nothing when it is not a valid one.
std::optional<std::set<std::string>> ListCompiledHelp(const Bytes& file) {
    const Reader in(file);
    if (!in.Tag(0, "ITSF") || !in.Has(0, 0x60) || in.Le(4, 4) != 3) {
        return std::nullopt;
    }
    const std::uint64_t directory = in.Le(0x48, 8);
    if (!in.Tag(directory, "ITSP") || !in.Has(directory, 0x54)) {
        return std::nullopt;
    }
    const std::uint64_t firstChunk = directory + in.Le(directory + 8, 4);
    const std::uint64_t chunkSize = in.Le(directory + 16, 4);
    const std::uint64_t chunkCount = in.Le(directory + 44, 4);
    if (chunkSize < 32 || chunkCount == 0 || !in.Has(firstChunk, chunkSize * chunkCount)) {
        return std::nullopt;
    }
    std::set<std::string> names;
    for (std::uint64_t i = 0; i < chunkCount; ++i) {
        const std::uint64_t chunk = firstChunk + i * chunkSize;
        if (in.Tag(chunk, "PMGL") && !ReadListingChunk(in, chunk, chunkSize, names)) {
            return std::nullopt;
        }
    }
    return names;
}

std::vector<std::string> HelpPages() {
    std::vector<std::string> pages;
    for (const fs::directory_entry& entry : fs::directory_iterator(ZELVO_HELP_DIR)) {
        if (entry.path().extension() == ".html") {
            pages.push_back(entry.path().filename().string());
        }
    }
    return pages;
}

TEST(HelpFile, IsACompiledHelpFileHoldingEveryPage) {
    const std::optional<std::set<std::string>> names =
        ListCompiledHelp(ReadFile(fs::path(ZELVO_HELP_DIR) / "Manager.chm"));
    ASSERT_TRUE(names.has_value()) << "Manager.chm is not a readable compiled help file";
    const std::vector<std::string> pages = HelpPages();
    ASSERT_FALSE(pages.empty());
    for (const std::string& page : pages) {
        EXPECT_TRUE(names->count("/" + page)) << page << " is missing; run build-chm.sh";
    }
    EXPECT_TRUE(names->count("/Manager.hhc")) << "no table of contents";
    EXPECT_TRUE(names->count("/Manager.hhk")) << "no index";
}

TEST(HelpFile, DirectoryReaderRejectsWhatIsNotCompiledHelp) {
    const Bytes notHelp = {'I', 'T', 'S', 'F', 2, 0, 0, 0};
    EXPECT_FALSE(ListCompiledHelp(notHelp).has_value());
    Bytes truncated = ReadFile(fs::path(ZELVO_HELP_DIR) / "Manager.chm");
    truncated.resize(0x70);
    EXPECT_FALSE(ListCompiledHelp(truncated).has_value());
}

TEST(HelpFile, MessagesPageQuotesEveryMessage) {
    const Bytes page = ReadFile(fs::path(ZELVO_HELP_DIR) / "messages.html");
    const std::string text(page.begin(), page.end());
    const char* const messages[] = {
        "Please input the account.",
        "Please input the password.",
        "Please input the confirm password.",
        "Two passwords must be same.",
        "Error:The Account is existend.",
        "Login Failed:Account error.",
        "Invalid file.",
        "Login Failed:Password error.",
        "Login success.",
        "Password changed until Exit:",
        "Account file saved:",
        "The same item have been existent.",
        "Invalid account name.",
        "Create COM components failed.",
        "Invalid config file.",
        "Save account file failed.",
        "Login Failed:Account is in use.",
        "CManagerDlg::New_()",
        // Passwords: changing the administrator's, generating one, checking the book's.
        "Please input the old password.",
        "Change Password Failed:Password error.",
        "Change password success.",
        "The password length must be from 4 to 128 characters.",
        "Choose at least one kind of character for the password.",
        "The system's random source could not be read, so no password was generated.",
        "No weak or reused passwords found.",
        "The check could not be completed: the computer ran short of memory.",
        // Import and Export.
        "Import Failed:Password error.",
        "Import Failed:The file is not an account book.",
        "Export Failed:Password error.",
        // Encrypted books.
        "Encrypt Failed:Password error.",
        "Decrypt Failed:Password error.",
        "Login Failed:The encrypted book was damaged or changed by another program, so nothing of it can be read. "
        "The file was left as it is; an earlier version of it may still open.",
        "Login Failed:The book was encrypted by a later version of this program, which is needed to open it.",
    };
    for (const char* message : messages) {
        EXPECT_NE(text.find(std::string("&quot;") + message + "&quot;"), std::string::npos) << message;
    }
}

} // namespace
