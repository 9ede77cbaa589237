// Throughput of the Base64 codec beside Qt's and OpenSSL's, and time to save and load account books
// beside a bare libxml2 parse and save of the same files (and a bare save flushed to disk).
#include "AccountFile.h"
#include "BookFile.h"
#include "BookFiles.h"

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#ifdef ZELVO_BENCH_OPENSSL
#include <openssl/evp.h>
#endif

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>

namespace {

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> byteValue(0, 255);
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(byteValue(random));
    }
    return bytes;
}

void CodecSizes(benchmark::internal::Benchmark* b) {
    b->Arg(1 << 10)->Arg(1 << 20);
}

void BM_Base64Encode_Store(benchmark::State& state) {
    const std::string bytes = RandomBytes(static_cast<std::size_t>(state.range(0)));
    const CBase64 codec;
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec.Encode(bytes));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Encode_Store)->Apply(CodecSizes);

void BM_Base64Decode_Store(benchmark::State& state) {
    const CBase64 codec;
    const std::string text = codec.Encode(RandomBytes(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec.Decode(text));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Decode_Store)->Apply(CodecSizes);

void BM_Base64Encode_Qt(benchmark::State& state) {
    const std::string raw = RandomBytes(static_cast<std::size_t>(state.range(0)));
    const QByteArray bytes(raw.data(), static_cast<qsizetype>(raw.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.toBase64());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Encode_Qt)->Apply(CodecSizes);

void BM_Base64Decode_Qt(benchmark::State& state) {
    const std::string raw = RandomBytes(static_cast<std::size_t>(state.range(0)));
    const QByteArray text = QByteArray(raw.data(), static_cast<qsizetype>(raw.size())).toBase64();
    for (auto _ : state) {
        benchmark::DoNotOptimize(QByteArray::fromBase64(text));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Decode_Qt)->Apply(CodecSizes);

#ifdef ZELVO_BENCH_OPENSSL
void BM_Base64Encode_OpenSSL(benchmark::State& state) {
    const std::string bytes = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        // Allocated per call, as the other codecs return a new string.
        std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Encode_OpenSSL)->Apply(CodecSizes);

void BM_Base64Decode_OpenSSL(benchmark::State& state) {
    const std::string text = CBase64().Encode(RandomBytes(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        std::string bytes(text.size() / 4 * 3, '\0');
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Base64Decode_OpenSSL)->Apply(CodecSizes);
#endif

void BookSizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_SaveBook_Store(benchmark::State& state) {
    const AccountBook book = bench_store::MakeBook(static_cast<std::size_t>(state.range(0)));
    const std::string path = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0))) + ".out";
    const CBase64 codec;
    for (auto _ : state) {
        if (!SaveAccountBook(book, path, codec)) {
            state.SkipWithError("save failed");
        }
    }
}
BENCHMARK(BM_SaveBook_Store)->Apply(BookSizes);

// The save at the end of a session, which keeps the replaced file as an earlier version (a second
// name) and removes the oldest: against BM_SaveBook_Store, the cost of keeping versions.
void BM_SaveHeldBook_KeepingVersions(benchmark::State& state) {
    const AccountBook book = bench_store::MakeBook(static_cast<std::size_t>(state.range(0)));
    const std::string saved = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0)));
    const std::string folder = saved.substr(0, saved.find_last_of('/'));
    const std::string account = "held" + std::to_string(state.range(0));
    const CBase64 codec;
    BookFile held;
    if (!SaveAccountBook(book, folder + "/" + account + ".xml", codec) ||
        !held.ClaimExisting(folder + "/" + account + ".xml")) {
        state.SkipWithError("no book to hold");
        return;
    }
    for (auto _ : state)
        if (held.Save(book, codec).outcome != BookSaveOutcome::Saved)
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveHeldBook_KeepingVersions)->Apply(BookSizes);

void BM_LoadBook_Store(benchmark::State& state) {
    const std::string path = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0)));
    const CBase64 codec;
    AccountBook book;
    for (auto _ : state) {
        if (!LoadAccountBook(book, path, codec)) {
            state.SkipWithError("load failed");
        }
    }
}
BENCHMARK(BM_LoadBook_Store)->Apply(BookSizes);

void BM_ParseBook_Libxml2(benchmark::State& state) {
    const std::string path = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
        if (doc == nullptr) {
            state.SkipWithError("parse failed");
        }
        xmlFreeDoc(doc);
    }
}
BENCHMARK(BM_ParseBook_Libxml2)->Apply(BookSizes);

void BM_SerialiseBook_Libxml2(benchmark::State& state) {
    const std::string path = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0)));
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    const std::string out = path + ".libxml2";
    for (auto _ : state) {
        if (doc == nullptr || xmlSaveFormatFileEnc(out.c_str(), doc, "UTF-8", 0) < 0) {
            state.SkipWithError("save failed");
        }
    }
    xmlFreeDoc(doc);
}
BENCHMARK(BM_SerialiseBook_Libxml2)->Apply(BookSizes);

// The same save flushed to disk before it counts as done, as every save of the store is: the part
// of a store save's time that any durable save pays.
void BM_SerialiseBookSynced_Libxml2(benchmark::State& state) {
    const std::string path = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0)));
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    const std::string out = path + ".libxml2";
    for (auto _ : state) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        xmlOutputBuffer* buffer = doc != nullptr && fd >= 0 ? xmlOutputBufferCreateFd(fd, nullptr) : nullptr;
        const bool written = buffer != nullptr && xmlSaveFormatFileTo(buffer, doc, "UTF-8", 0) >= 0;
        if (!written || ::fsync(fd) != 0) {
            state.SkipWithError("save failed");
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    xmlFreeDoc(doc);
}
BENCHMARK(BM_SerialiseBookSynced_Libxml2)->Apply(BookSizes);

// A tree of the store's shape built with bare libxml2 calls, its texts encoded with the store's codec.
xmlDoc* BuildBookTree(const AccountBook& book, const CBase64& codec) {
    const auto chars = [](const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); };
    const auto encoded = [&codec](const TextField& field) { return codec.Encode(std::string(FieldText(field))); };
    xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNode* root = xmlNewDocNode(doc, nullptr, chars(std::string(FieldText(book.szAdminAccount))), nullptr);
    xmlDocSetRootElement(doc, root);
    xmlNewProp(root, BAD_CAST "App", BAD_CAST "Zelvo Password Manager");
    xmlNode* admin = xmlNewChild(root, nullptr, BAD_CAST "AdminInfo", nullptr);
    xmlNewTextChild(admin, nullptr, BAD_CAST "Account", chars(std::string(FieldText(book.szAdminAccount))));
    xmlNewTextChild(admin, nullptr, BAD_CAST "Password", chars(encoded(book.szAdminPassword)));
    xmlNode* accounts = xmlNewChild(root, nullptr, BAD_CAST "Accounts", nullptr);
    xmlNewProp(accounts, BAD_CAST "TotalCnt", chars(std::to_string(book.vecEntries.size())));
    for (std::size_t i = 0; i < book.vecEntries.size(); ++i) {
        const AccountEntry& entry = book.vecEntries[i];
        xmlNode* item = xmlNewChild(accounts, nullptr, BAD_CAST "Item", nullptr);
        xmlNewProp(item, BAD_CAST "Index", chars(std::to_string(i)));
        xmlNewTextChild(item, nullptr, BAD_CAST "Account", chars(encoded(entry.szAccount)));
        xmlNewTextChild(item, nullptr, BAD_CAST "Password", chars(encoded(entry.szPassword)));
        xmlNewTextChild(item, nullptr, BAD_CAST "Comment", chars(encoded(entry.szComment)));
    }
    return doc;
}

// Everything a store save does with bare libxml2: build the tree, write it indented, flush it to
// disk and free it. What remains between this and the store's save is the document component's own.
void BM_BuildAndSaveBook_Libxml2(benchmark::State& state) {
    const AccountBook book = bench_store::MakeBook(static_cast<std::size_t>(state.range(0)));
    const std::string out = bench_store::SavedBookPath(static_cast<std::size_t>(state.range(0))) + ".libxml2";
    const CBase64 codec;
    for (auto _ : state) {
        xmlDoc* doc = BuildBookTree(book, codec);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        xmlOutputBuffer* buffer = fd >= 0 ? xmlOutputBufferCreateFd(fd, nullptr) : nullptr;
        const bool written = buffer != nullptr && xmlSaveFormatFileTo(buffer, doc, "UTF-8", 1) >= 0;
        if (!written || ::fsync(fd) != 0) {
            state.SkipWithError("save failed");
        }
        if (fd >= 0) {
            ::close(fd);
        }
        xmlFreeDoc(doc);
    }
}
BENCHMARK(BM_BuildAndSaveBook_Libxml2)->Apply(BookSizes);

} // namespace

BENCHMARK_MAIN();
