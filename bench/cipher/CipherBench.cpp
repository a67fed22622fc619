// The cipher against its baseline, the code page conversion it cannot avoid.
// Run: build/bench/cipher/bench_cipher

#include <benchmark/benchmark.h>

#include <iconv.h>

#include <bit>
#include <random>

#include "cipher/ModEncrypt.h"
#include "encoding/Cp936.h"

namespace {

class Silent : public velotan::platform::Messenger {
  public:
    velotan::platform::MsgResult MsgBox(const std::u16string&, int,
                                        const std::u16string&) override {
        return velotan::platform::MsgResult::Ok;
    }
};

// Mixed text as users write it: mostly Chinese, some ASCII and line breaks.
std::u16string MixedText(size_t length, unsigned seed = 42) {
    static const std::u16string hanzi = u"心情加密青岚今天天气很好我们一起去公园散步吧朋友";
    static const std::u16string ascii = u"Hello world 2026 abc XYZ";
    std::mt19937 rng(seed);
    std::u16string t;
    while (t.size() < length) {
        switch (rng() % 10) {
            case 0:
                t += u"\r\n";
                break;
            case 1:
            case 2:
            case 3:
                t += ascii[rng() % ascii.size()];
                break;
            default:
                t += hanzi[rng() % hanzi.size()];
                break;
        }
    }
    t.resize(length);
    return t;
}

// Several different texts of the same length, used in turn: the same text
// again and again would let the branch predictor learn it, which makes short
// texts look faster than any real input is.
std::vector<std::u16string> Texts(size_t length) {
    std::vector<std::u16string> texts;
    for (unsigned seed = 0; texts.size() * length < 512 * 1024; ++seed) {
        texts.push_back(MixedText(length - 1, seed) + u"F");
    }
    return texts;
}

void BM_Cp936Conversion(benchmark::State& state) {
    const auto texts = Texts(static_cast<size_t>(state.range(0)));
    size_t n = 0;
    for (auto _ : state) {
        auto bytes = velotan::encoding::ToCp936(texts[n++ % texts.size()]);
        benchmark::DoNotOptimize(velotan::encoding::FromCp936(bytes));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same round trip through glibc's iconv, the conversion the built-in
// table replaced: the table must be no slower.
void BM_Cp936ConversionIconv(benchmark::State& state) {
    const char* utf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    iconv_t toAnsi = iconv_open("CP936", utf16);
    iconv_t fromAnsi = iconv_open(utf16, "CP936");
    auto run = [](iconv_t cd, const char* in, size_t length, std::string& out) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(length * 2 + 8);
        char* src = const_cast<char*>(in);
        char* dst = out.data();
        size_t dstLeft = out.size();
        iconv(cd, &src, &length, &dst, &dstLeft);
        out.resize(out.size() - dstLeft);
    };
    const auto texts = Texts(static_cast<size_t>(state.range(0)));
    std::string bytes;
    std::string back;
    size_t n = 0;
    for (auto _ : state) {
        const std::u16string& text = texts[n++ % texts.size()];
        run(toAnsi, reinterpret_cast<const char*>(text.data()), text.size() * 2, bytes);
        run(fromAnsi, bytes.data(), bytes.size(), back);
        benchmark::DoNotOptimize(back);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    iconv_close(toAnsi);
    iconv_close(fromAnsi);
}

void BM_EncryptText(benchmark::State& state) {
    Silent silent;
    velotan::cipher::ModEncrypt engine(VELOTAN_DATA_DIR, silent,
                                       [] { return velotan::platform::DriveMap(); });
    engine.FirstKey = 17;
    engine.SecondKey = 29;
    const auto texts = Texts(static_cast<size_t>(state.range(0)));
    size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.EncryptText(texts[n++ % texts.size()]));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DecryptText(benchmark::State& state) {
    Silent silent;
    velotan::cipher::ModEncrypt engine(VELOTAN_DATA_DIR, silent,
                                       [] { return velotan::platform::DriveMap(); });
    engine.FirstKey = 17;
    engine.SecondKey = 29;
    std::vector<std::pair<std::u16string, std::u16string>> encrypted;
    for (const auto& text : Texts(static_cast<size_t>(state.range(0)))) {
        engine.EncryptText(text);
        encrypted.emplace_back(engine.ResultText, engine.CodeTable);
    }
    size_t n = 0;
    for (auto _ : state) {
        const auto& [cipherText, codeTable] = encrypted[n++ % encrypted.size()];
        engine.DecryptText(cipherText, codeTable);
        benchmark::DoNotOptimize(engine.ResultText.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_Cp936Conversion)->Arg(4096)->Arg(32767);
BENCHMARK(BM_Cp936ConversionIconv)->Arg(4096)->Arg(32767);
BENCHMARK(BM_EncryptText)->Arg(4096)->Arg(32767);
BENCHMARK(BM_DecryptText)->Arg(4096)->Arg(32767);
