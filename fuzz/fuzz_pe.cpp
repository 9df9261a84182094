// libFuzzer target: arbitrary bytes through the executable-image reader,
// every decoder, the version parser (also over the version section of ELF
// files) and the peres listing. Reader errors
// (EExeError) are the expected answer to damaged input; anything else that
// escapes, and every crash or read outside the input, is a finding.
#include "fuzz/uResourceExercise.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > std::size_t(64) * 1024 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ExerciseBytes(bytes);
    return 0;
}
