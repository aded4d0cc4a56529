// A dBase table of any level made of the fuzzer's bytes, read field by field.

#include "FuzzMain.h"
#include "Harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    fuzzing::readTableBytes(bytes, fuzzing::scratchFolder());
    return 0;
}
