// The export run over a fixed small working folder whose SOLUC is the fuzzer's bytes.

#include "FuzzMain.h"
#include "Harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    fuzzing::exportWithSoluc(bytes, fuzzing::scratchFolder());
    return 0;
}
