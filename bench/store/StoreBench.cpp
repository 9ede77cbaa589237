// Throughput of the Base64 codec beside Qt's and OpenSSL's, and time to save and load account books
// beside a bare libxml2 parse and save of the same files.
#include "AccountFile.h"
#include "BookFiles.h"

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#ifdef ZELVO_BENCH_OPENSSL
#include <openssl/evp.h>
#endif

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

} // namespace

BENCHMARK_MAIN();
