// The control registry file parser, which the control library and the host
// share: any bytes in registry.reg. Whatever was read is written back in the
// same form however often it goes round, and every key keeps its values.
//
// Input: the bytes of the registry file.

#include <QString>

#include "FuzzSupport.h"
#include "VxLedControl/RegistryFile.h"

namespace {

QString Path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::string Bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto folder = fuzz::ScratchFolder();
    fuzz::PutFile(folder / "registry.reg", bytes);

    vxled::RegistryFile first;
    QString error;
    FUZZ_CHECK(first.load(Path(folder / "registry.reg"), &error));
    FUZZ_CHECK(first.save(Path(folder / "once.reg"), &error));

    vxled::RegistryFile second;
    FUZZ_CHECK(second.load(Path(folder / "once.reg"), &error));
    FUZZ_CHECK(second.keyPaths() == first.keyPaths());
    for (const QString& key : first.keyPaths()) {
        FUZZ_CHECK(second.hasKey(key));
        FUZZ_CHECK(second.value(key) == first.value(key));
    }
    FUZZ_CHECK(second.save(Path(folder / "twice.reg"), &error));
    FUZZ_CHECK(Bytes(folder / "once.reg") == Bytes(folder / "twice.reg"));
    return 0;
}
