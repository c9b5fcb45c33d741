// A protocol file from anywhere: the loader either refuses it with a reason or gives a
// sheet that saves and loads again unchanged. Its allocations stay within the file's
// size (fuzz/run.sh runs this target under a small malloc limit).
#include "fuzzinput.h"
#include "sheetstore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<Sheet> sheet = SheetStore::deserialize(bytes, &error);
    if (!sheet) {
        FUZZ_ASSERT(!error.isEmpty());
        return 0;
    }
    const std::optional<Sheet> again = SheetStore::deserialize(SheetStore::serialize(*sheet), &error);
    FUZZ_ASSERT(again && *again == *sheet);
    return 0;
}
