// The whole import run over a document made of the fuzzer's bytes.

#include "FuzzMain.h"
#include "Harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    fuzzing::importDocument(bytes, fuzzing::scratchFolder(), QStringLiteral(VT_CATALOG_PATH));
    return 0;
}
