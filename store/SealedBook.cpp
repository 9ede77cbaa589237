#include "SealedBook.h"

#include "AccountName.h"
#include "Base64.h"
#include "Identity.h"
#include "xmldom.h"

#include <sodium.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

namespace {

// ---- the file's layout ----

constexpr std::string_view kFormat = "1";
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
constexpr std::string_view kSealedTag = "<Sealed ";
constexpr std::string_view kSealedEnd = "</Sealed>\n  <KeyCheck>";
constexpr std::string_view kKeyCheckEnd = "</KeyCheck>\n";
constexpr std::string_view kDigestStart = "  <Digest>";
constexpr std::string_view kDigestEnd = "</Digest>\n</";
// Within how many bytes of its start a sealed book names itself so: past the declaration, a root
// of the longest name with its attributes, and the administrator section.
constexpr std::size_t kSealedTagWithin = 1024;

// What each key made from a book's key is for; a number never changes meaning.
constexpr char kSubkeyContext[crypto_kdf_CONTEXTBYTES + 1] = "ZelvoBk1";
enum SubkeyUse : std::uint64_t { kSealUse = 1, kCheckUse = 2, kJournalUse = 3, kJournalNameUse = 4 };

using Nonce = std::array<unsigned char, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES>;
using KeyCheck = std::array<unsigned char, crypto_auth_BYTES>;
using Digest = std::array<unsigned char, 32>;

static_assert(sizeof(KdfSalt) == crypto_pwhash_SALTBYTES);

std::optional<KdfCost> g_testCost;
std::optional<KdfSalt> g_testSalt;
std::optional<Nonce> g_testNonce;

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

template <std::size_t N>
void RandomOrTest(std::array<unsigned char, N>& bytes, const std::optional<std::array<unsigned char, N>>& test) {
    if (test)
        bytes = *test;
    else
        randombytes_buf(bytes.data(), bytes.size());
}

std::string Base64Of(const unsigned char* bytes, std::size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.pop_back(); // the terminator sodium writes
    return text;
}

// Decodes Base64 that must give exactly `size` bytes.
bool DecodeExactly(std::string_view text, unsigned char* bytes, std::size_t size) {
    std::size_t decoded = 0;
    return sodium_base642bin(bytes, size, text.data(), text.size(), nullptr, &decoded, nullptr,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == size;
}

std::string HexOf(const unsigned char* bytes, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

// The file up to and with the start tag of its blob: everything the seal binds as associated data.
std::string HeaderOf(std::string_view admin, const KdfCost& cost, const KdfSalt& salt, const Nonce& nonce) {
    std::string header(kDeclaration);
    header.append(admin).append(" Author=\"").append(kAuthor).append("\" Website=\"").append(kWebsiteUrl);
    header.append("\" App=\"").append(kAppTitle).append("\" Version=\"").append(kVersion).append("\">\n");
    header.append("  <AdminInfo>\n    <Account>").append(admin).append("</Account>\n  </AdminInfo>\n  ");
    header.append(kSealedTag).append("Format=\"").append(kFormat).append("\" Kdf=\"Argon2id\" Passes=\"");
    header.append(std::to_string(cost.passes)).append("\" Memory=\"").append(std::to_string(cost.memoryBytes));
    header.append("\" Salt=\"").append(Base64Of(salt.data(), salt.size()));
    header.append("\" Nonce=\"").append(Base64Of(nonce.data(), nonce.size())).append("\">");
    return header;
}

// The digest of every byte of the file outside its blob, up to the digest's own line: damage there
// is told from a wrong password before any key is derived. The blob needs none: its seal fails
// for any change, and its Base64 must be the one encoding of what it holds.
Digest DigestOf(std::string_view file) {
    const std::size_t blobStart = file.find("\">", file.find(kSealedTag)) + 2;
    const std::size_t blobEnd = file.find(kSealedEnd.substr(0, 9), blobStart);
    const std::size_t digestStart = file.rfind(kDigestStart);
    Digest digest{};
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, digest.size());
    for (const std::string_view part : {file.substr(0, blobStart), file.substr(blobEnd, digestStart - blobEnd)})
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(part.data()), part.size());
    crypto_generichash_final(&state, digest.data(), digest.size());
    return digest;
}

std::string TrailerBeforeDigest(const KeyCheck& check) {
    std::string trailer(kSealedEnd);
    trailer.append(Base64Of(check.data(), check.size())).append(kKeyCheckEnd);
    return trailer;
}

std::string DigestLine(const Digest& digest, std::string_view admin) {
    std::string line(kDigestStart);
    line.append(HexOf(digest.data(), digest.size())).append(kDigestEnd).append(admin).append(">\n");
    return line;
}

KeyCheck KeyCheckOf(const BookKey& key, std::string_view header) {
    unsigned char subkey[32];
    key.DeriveSubkey(kCheckUse, subkey);
    KeyCheck check{};
    crypto_auth(check.data(), reinterpret_cast<const unsigned char*>(header.data()), header.size(), subkey);
    sodium_memzero(subkey, sizeof subkey);
    return check;
}

// A sealed file taken apart, every part checked against what the writer makes of the parts.
struct SealedParts {
    std::string admin;
    KdfCost cost;
    KdfSalt salt{};
    Nonce nonce{};
    std::string_view header;
    std::string_view blob;
    KeyCheck check{};
};

// Whether the file ends with the digest of everything before it.
bool DigestHolds(std::string_view file, std::string_view admin) {
    const std::size_t blobStart = file.find("\">", file.find(kSealedTag));
    const std::size_t blobEnd = file.find(kSealedEnd.substr(0, 9), blobStart);
    const std::size_t digested = file.rfind(kDigestStart);
    return blobStart != std::string_view::npos && blobEnd != std::string_view::npos &&
           digested != std::string_view::npos && digested > blobEnd &&
           file.substr(digested) == DigestLine(DigestOf(file), admin);
}

// Reads `"digits"` after the literal; false for anything else.
bool TakeNumber(std::string_view& text, std::string_view before, std::uint64_t& value) {
    if (text.substr(0, before.size()) != before)
        return false;
    text.remove_prefix(before.size());
    const std::size_t quote = text.find('"');
    if (quote == 0 || quote > 20 || quote == std::string_view::npos)
        return false;
    value = 0;
    for (const char c : text.substr(0, quote)) {
        if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10)
            return false;
        value = value * 10 + std::uint64_t(c - '0');
    }
    text.remove_prefix(quote + 1);
    return true;
}

template <std::size_t N>
bool TakeBase64(std::string_view& text, std::string_view before, std::array<unsigned char, N>& bytes) {
    if (text.substr(0, before.size()) != before)
        return false;
    text.remove_prefix(before.size());
    const std::size_t quote = text.find('"');
    if (quote == std::string_view::npos || !DecodeExactly(text.substr(0, quote), bytes.data(), N))
        return false;
    text.remove_prefix(quote + 1);
    return true;
}

SealedOutcome TakeApart(std::string_view file, SealedParts& parts) {
    if (!LooksSealed(file) || file.substr(0, kDeclaration.size()) != kDeclaration)
        return LooksSealed(file) ? SealedOutcome::Damaged : SealedOutcome::NotSealed;
    const std::size_t nameEnd = file.find(' ', kDeclaration.size());
    if (nameEnd == std::string_view::npos || nameEnd - kDeclaration.size() > 128)
        return SealedOutcome::Damaged;
    parts.admin = std::string(file.substr(kDeclaration.size(), nameEnd - kDeclaration.size()));
    const std::size_t tag = file.find(kSealedTag);
    std::string_view rest = file.substr(tag + kSealedTag.size());
    std::uint64_t format = 0;
    if (!TakeNumber(rest, "Format=\"", format))
        return SealedOutcome::Damaged;
    // A later format is told apart from damage by the digest every format ends with.
    if (format != 1)
        return format > 1 && DigestHolds(file, parts.admin) ? SealedOutcome::NewerFormat : SealedOutcome::Damaged;
    std::uint64_t memory = 0;
    if (!TakeNumber(rest, " Kdf=\"Argon2id\" Passes=\"", parts.cost.passes) ||
        !TakeNumber(rest, " Memory=\"", memory) || memory > SIZE_MAX || !TakeBase64(rest, " Salt=\"", parts.salt) ||
        !TakeBase64(rest, " Nonce=\"", parts.nonce) || rest.substr(0, 1) != ">")
        return SealedOutcome::Damaged;
    parts.cost.memoryBytes = std::size_t(memory);
    parts.header = file.substr(0, std::size_t(rest.data() + 1 - file.data()));
    if (!IsValidAccountName(parts.admin) || HeaderOf(parts.admin, parts.cost, parts.salt, parts.nonce) != parts.header)
        return SealedOutcome::Damaged;
    rest.remove_prefix(1);
    const std::size_t blobEnd = rest.find(kSealedEnd);
    if (blobEnd == std::string_view::npos)
        return SealedOutcome::Damaged;
    parts.blob = rest.substr(0, blobEnd);
    std::string_view trailer = rest.substr(blobEnd + kSealedEnd.size());
    const std::size_t checkEnd = trailer.find('<');
    if (checkEnd == std::string_view::npos ||
        !DecodeExactly(trailer.substr(0, checkEnd), parts.check.data(), parts.check.size()))
        return SealedOutcome::Damaged;
    // The digest covers everything before its own line.
    const std::size_t afterBlob = parts.header.size() + parts.blob.size();
    const std::string beforeDigest = TrailerBeforeDigest(parts.check);
    const std::size_t digested = afterBlob + beforeDigest.size();
    if (file.substr(afterBlob, beforeDigest.size()) != beforeDigest ||
        file.substr(digested) != DigestLine(DigestOf(file), parts.admin))
        return SealedOutcome::Damaged;
    return SealedOutcome::Opened;
}

bool CostWithinBounds(const KdfCost& cost) {
    return cost.passes >= crypto_pwhash_argon2id_OPSLIMIT_MIN && cost.passes <= kMostKdfPasses &&
           cost.memoryBytes <= kMostKdfMemoryBytes;
}

// Whether the text is the one padded encoding of the bytes it decoded to: no character left over,
// none outside the alphabet, no stray bits in the last group.
bool CanonicalBase64(std::string_view text, std::string_view bytes) {
    if (text.size() != (bytes.size() + 2) / 3 * 4 || text.empty())
        return false;
    const std::size_t lastGroup = bytes.size() - (bytes.size() % 3 == 0 ? 3 : bytes.size() % 3);
    std::string tail;
    CBase64().Encode(bytes.substr(lastGroup), tail);
    return text.substr(text.size() - 4) == tail;
}

SealedOutcome Open(const SealedParts& parts, const BookKey& key, SecretBytes& plain) {
    if (!(key.Salt() == parts.salt) || !(key.Cost() == parts.cost))
        return SealedOutcome::WrongPassword;
    const KeyCheck expected = KeyCheckOf(key, parts.header);
    if (sodium_memcmp(expected.data(), parts.check.data(), expected.size()) != 0)
        return SealedOutcome::WrongPassword;
    // The blob is no secret, and the digest has vouched for every byte of it: the book's own codec
    // decodes it, many times faster than a decoder built to take secret text.
    std::string sealed;
    CBase64().Decode(parts.blob, sealed);
    const std::size_t sealedSize = sealed.size();
    if (sealedSize < crypto_aead_xchacha20poly1305_ietf_ABYTES || !CanonicalBase64(parts.blob, sealed))
        return SealedOutcome::Damaged;
    unsigned char subkey[32];
    key.DeriveSubkey(kSealUse, subkey);
    plain.resize(sealedSize - crypto_aead_xchacha20poly1305_ietf_ABYTES);
    unsigned long long plainSize = 0;
    const int opened = crypto_aead_xchacha20poly1305_ietf_decrypt(
        reinterpret_cast<unsigned char*>(plain.data()), &plainSize, nullptr,
        reinterpret_cast<const unsigned char*>(sealed.data()), sealedSize,
        reinterpret_cast<const unsigned char*>(parts.header.data()), parts.header.size(), parts.nonce.data(), subkey);
    sodium_memzero(subkey, sizeof subkey);
    if (opened != 0) {
        plain.clear();
        return SealedOutcome::Damaged;
    }
    return SealedOutcome::Opened;
}

double SecondsToDerive(const KdfCost& cost) {
    const KdfSalt salt{};
    const auto start = std::chrono::steady_clock::now();
    const bool derived = BookKey::Derive("calibration", salt, cost) != nullptr;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return derived ? took.count() : 0;
}

KdfCost MeasureCost() {
    // About half a second at login, and at least 64 MiB, so that a guess costs an attacker as
    // much memory as time. A derivation pays for its memory once and for each pass over it, so
    // both are measured: one pass and three. On a fast machine the memory grows before the passes.
    constexpr double kTargetSeconds = 0.5;
    constexpr double kMostChosenPasses = 16;
    KdfCost cost{1, std::size_t(64) << 20};
    double onePass = 0;
    double perPass = 0;
    for (;;) {
        onePass = SecondsToDerive({1, cost.memoryBytes});
        perPass = (SecondsToDerive({3, cost.memoryBytes}) - onePass) / 2;
        if (onePass <= 0 || perPass <= 0 || onePass + perPass * (kMostChosenPasses - 1) >= kTargetSeconds ||
            cost.memoryBytes >= (std::size_t(512) << 20))
            break;
        cost.memoryBytes *= 2;
    }
    const double passes = perPass > 0 ? 1 + std::round((kTargetSeconds - onePass) / perPass) : 3;
    cost.passes = std::uint64_t(std::clamp(passes, 1.0, kMostChosenPasses));
    return cost;
}

} // namespace

// ---- keys ----

BookKey::BookKey(const KdfSalt& salt, const KdfCost& cost) : m_salt(salt), m_cost(cost) {
    if (SodiumReady())
        m_key = static_cast<unsigned char*>(sodium_malloc(crypto_kdf_KEYBYTES));
}

BookKey::~BookKey() {
    sodium_free(m_key); // wipes it first
}

std::unique_ptr<BookKey> BookKey::Derive(std::string_view password, const KdfSalt& salt, const KdfCost& cost) {
    std::unique_ptr<BookKey> key(new BookKey(salt, cost));
    if (!key->Allocated() ||
        crypto_pwhash(key->m_key, crypto_kdf_KEYBYTES, password.data(), password.size(), salt.data(), cost.passes,
                      cost.memoryBytes, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return nullptr;
    return key;
}

std::unique_ptr<BookKey> BookKey::DeriveNew(std::string_view password) {
    KdfSalt salt{};
    RandomOrTest(salt, g_testSalt);
    return Derive(password, salt, CalibratedKdfCost());
}

void BookKey::DeriveSubkey(std::uint64_t use, unsigned char (&subkey)[32]) const {
    crypto_kdf_derive_from_key(subkey, sizeof subkey, use, kSubkeyContext, m_key);
}

KdfCost CalibratedKdfCost() {
    if (g_testCost)
        return *g_testCost;
    static const KdfCost measured = MeasureCost();
    return measured;
}

// ---- the book ----

bool LooksSealed(std::string_view file) {
    return file.substr(0, kSealedTagWithin).find(kSealedTag) != std::string_view::npos;
}

std::string_view SealedBookAdmin(std::string_view file) {
    if (file.substr(0, kDeclaration.size()) != kDeclaration)
        return {};
    file.remove_prefix(kDeclaration.size());
    return file.substr(0, file.find(' '));
}

std::size_t SealedFileBytesFor(std::size_t plainBytes) {
    return (plainBytes + crypto_aead_xchacha20poly1305_ietf_ABYTES + 2) / 3 * 4 + 4096;
}

SealedOutcome UnsealBook(std::string_view file, std::string_view password, SecretBytes& plain,
                         std::unique_ptr<BookKey>& key) {
    SealedParts parts;
    const SealedOutcome taken = TakeApart(file, parts);
    if (taken != SealedOutcome::Opened)
        return taken;
    if (parts.cost.memoryBytes < crypto_pwhash_argon2id_MEMLIMIT_MIN)
        return SealedOutcome::Damaged;
    if (!CostWithinBounds(parts.cost))
        return SealedOutcome::TooCostly;
    if (!SodiumReady())
        return SealedOutcome::NoMemory;
    std::unique_ptr<BookKey> derived = BookKey::Derive(password, parts.salt, parts.cost);
    if (!derived)
        return SealedOutcome::NoMemory;
    const SealedOutcome opened = Open(parts, *derived, plain);
    if (opened == SealedOutcome::Opened)
        key = std::move(derived);
    return opened;
}

SealedOutcome UnsealBookWithKey(std::string_view file, const BookKey& key, SecretBytes& plain) {
    SealedParts parts;
    const SealedOutcome taken = TakeApart(file, parts);
    return taken == SealedOutcome::Opened ? Open(parts, key, plain) : taken;
}

bool SealBook(std::string_view admin, std::string_view plain, const BookKey& key, WipingString& file) {
    if (!SodiumReady() || !IsValidAccountName(std::string(admin)))
        return false;
    Nonce nonce{};
    RandomOrTest(nonce, g_testNonce);
    const std::string header = HeaderOf(admin, key.Cost(), key.Salt(), nonce);
    // The seal is no secret, and a large book's is written over at once: not zeroed first.
    const std::size_t sealedBytes = plain.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES;
    std::unique_ptr<unsigned char[]> sealed;
    try {
        sealed.reset(new unsigned char[sealedBytes]);
    } catch (const std::bad_alloc&) {
        return false;
    }
    unsigned char subkey[32];
    key.DeriveSubkey(kSealUse, subkey);
    unsigned long long sealedSize = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        sealed.get(), &sealedSize, reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
        reinterpret_cast<const unsigned char*>(header.data()), header.size(), nullptr, nonce.data(), subkey);
    sodium_memzero(subkey, sizeof subkey);
    file.clear();
    file.reserve(header.size() + sodium_base64_ENCODED_LEN(sealedBytes, sodium_base64_VARIANT_ORIGINAL) + 256);
    file.append(header);
    std::string blob;
    CBase64().Encode(std::string_view(reinterpret_cast<const char*>(sealed.get()), std::size_t(sealedSize)), blob);
    file.append(blob);
    file.append(TrailerBeforeDigest(KeyCheckOf(key, header)));
    file.append(kDigestStart); // where the digest stops
    const Digest digest = DigestOf(file);
    file.resize(file.size() - kDigestStart.size());
    file.append(DigestLine(digest, admin));
    return true;
}

// ---- the journal ----

namespace {
constexpr std::string_view kJournalMagic = "ZELVO-SEALED-JOURNAL 1 ";
constexpr std::size_t kNameBase64Bytes = 24; // 16 bytes in Base64
} // namespace

JournalSeal::JournalSeal(const BookKey& key) {
    key.DeriveSubkey(kJournalUse, m_key);
    unsigned char name[32];
    key.DeriveSubkey(kJournalNameUse, name);
    std::memcpy(m_keyName.data(), name, m_keyName.size());
    sodium_memzero(name, sizeof name);
}

JournalSeal::~JournalSeal() {
    sodium_memzero(m_key, sizeof m_key);
}

bool JournalSeal::IsSealedFirstLine(std::string_view line) {
    return line.substr(0, kJournalMagic.size()) == kJournalMagic;
}

std::string JournalSeal::NewFirstLine() {
    randombytes_buf(m_journalName.data(), m_journalName.size());
    std::string line(kJournalMagic);
    line.append(Base64Of(m_keyName.data(), m_keyName.size())).append(1, ' ');
    line.append(Base64Of(m_journalName.data(), m_journalName.size()));
    return line;
}

bool JournalSeal::TakeFirstLine(std::string_view line) {
    if (!IsSealedFirstLine(line) || line.size() != kJournalMagic.size() + 2 * kNameBase64Bytes + 1 ||
        line[kJournalMagic.size() + kNameBase64Bytes] != ' ')
        return false;
    std::array<unsigned char, 16> keyName{};
    line.remove_prefix(kJournalMagic.size());
    return DecodeExactly(line.substr(0, kNameBase64Bytes), keyName.data(), keyName.size()) &&
           sodium_memcmp(keyName.data(), m_keyName.data(), keyName.size()) == 0 &&
           DecodeExactly(line.substr(kNameBase64Bytes + 1), m_journalName.data(), m_journalName.size());
}

namespace {
// What a sealed line is bound to besides its text: its journal and its place in it.
std::array<unsigned char, 24> LineBinding(const std::array<unsigned char, 16>& journal, std::uint64_t index) {
    std::array<unsigned char, 24> binding{};
    std::memcpy(binding.data(), journal.data(), journal.size());
    for (int i = 0; i < 8; ++i)
        binding[16 + std::size_t(i)] = static_cast<unsigned char>(index >> (8 * i));
    return binding;
}
} // namespace

void JournalSeal::SealLine(std::string_view plain, std::uint64_t index, WipingString& out) const {
    std::vector<unsigned char> sealed(sizeof(Nonce) + plain.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    randombytes_buf(sealed.data(), sizeof(Nonce));
    const auto binding = LineBinding(m_journalName, index);
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data() + sizeof(Nonce), nullptr,
                                               reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                                               binding.data(), binding.size(), nullptr, sealed.data(), m_key);
    out.append(Base64Of(sealed.data(), sealed.size()));
    out.append(1, '\n');
}

bool JournalSeal::OpenLine(std::string_view sealed, std::uint64_t index, WipingString& plain) const {
    std::vector<unsigned char> bytes(sealed.size() / 4 * 3 + 3);
    std::size_t size = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), sealed.data(), sealed.size(), nullptr, &size, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        size < sizeof(Nonce) + crypto_aead_xchacha20poly1305_ietf_ABYTES)
        return false;
    const auto binding = LineBinding(m_journalName, index);
    plain.resize(size - sizeof(Nonce) - crypto_aead_xchacha20poly1305_ietf_ABYTES);
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(plain.data()), nullptr, nullptr,
                                                   bytes.data() + sizeof(Nonce), size - sizeof(Nonce), binding.data(),
                                                   binding.size(), bytes.data(), m_key) == 0)
        return true;
    WipeBytes(plain.data(), plain.size());
    plain.clear();
    return false;
}

std::size_t JournalSeal::SealedLineBytes(std::size_t plainBytes) {
    return sodium_base64_ENCODED_LEN(sizeof(Nonce) + plainBytes + crypto_aead_xchacha20poly1305_ietf_ABYTES,
                                     sodium_base64_VARIANT_ORIGINAL);
}

namespace sealed_book_test {
void UseCost(const KdfCost& cost) {
    g_testCost = cost.passes == 0 ? std::nullopt : std::optional<KdfCost>(cost);
}
void UseSalt(const KdfSalt* salt) {
    g_testSalt = salt ? std::optional<KdfSalt>(*salt) : std::nullopt;
}
void UseNonce(const std::array<unsigned char, 24>* nonce) {
    g_testNonce = nonce ? std::optional<Nonce>(*nonce) : std::nullopt;
}
KdfCost MeasureKdfCost() {
    return MeasureCost();
}
} // namespace sealed_book_test
